#include "image/image_record.h"

#include <gtest/gtest.h>

#include <cstring>

#include "image/checked_allocation.h"

namespace pmk {
namespace {

ImageRecord MakeRecord(std::int32_t width, std::int32_t height, std::int32_t channels,
                       std::int32_t bits, std::initializer_list<int> samples) {
  ImageRecord record;
  EXPECT_EQ(record.Allocate(width, height, channels, bits), kResultOk);
  int i = 0;
  for (int v : samples) {
    if (bits == 16) {
      reinterpret_cast<std::uint16_t*>(record.data())[i++] = static_cast<std::uint16_t>(v);
    } else {
      record.data()[i++] = static_cast<std::uint8_t>(v);
    }
  }
  return record;
}

TEST(ImageRecordTest, AllocateComputesPackedGeometry) {
  ImageRecord record;
  ASSERT_EQ(record.Allocate(5, 3, 3, 16), kResultOk);
  EXPECT_EQ(record.stride(), 5 * 2 * 3);
  EXPECT_EQ(record.size(), record.stride() * 3);
  EXPECT_EQ(record.BytesPerSample(), 2);
  ASSERT_EQ(record.Allocate(4, 2, 1, 32), kResultOk);
  EXPECT_EQ(record.stride(), 16);
  EXPECT_EQ(record.size(), 32);
}

TEST(ImageRecordTest, AllocationFailureKeepsGeometryWithoutData) {
  ImageRecord record;
  ArmAllocationFailure(1);
  EXPECT_EQ(record.Allocate(10, 10, 3, 8), kResultNoMemory);
  ArmAllocationFailure(0);
  EXPECT_FALSE(record.HasData());
  EXPECT_EQ(record.width(), 10);
  EXPECT_EQ(record.channels(), 3);
}

TEST(ImageRecordTest, SizesBeyondTheSizeFieldAreRefusedNotWrapped) {
  ImageRecord record;
  // 20000 x 10000 float pixels of three channels is 2.4 GB: more than the
  // 32-bit size field can describe.
  EXPECT_EQ(record.Allocate(20000, 10000, 3, 32), kResultNoMemory);
  EXPECT_FALSE(record.HasData());
}

TEST(ImageRecordTest, ReleaseZeroesEveryField) {
  ImageRecord record = MakeRecord(2, 2, 1, 8, {1, 2, 3, 4});
  record.Release();
  EXPECT_FALSE(record.HasData());
  EXPECT_EQ(record.size() | record.stride() | record.width() | record.height() | record.channels() |
                record.bits(),
            0);
}

TEST(ImageRecordTest, TransferOfEqualSizeReusesTheDestinationBuffer) {
  ImageRecord destination = MakeRecord(2, 1, 3, 8, {0, 0, 0, 0, 0, 0});
  ImageRecord source = MakeRecord(1, 2, 3, 8, {1, 2, 3, 4, 5, 6});
  const std::uint8_t* buffer = destination.data();
  destination.TransferFrom(source);
  EXPECT_EQ(destination.data(), buffer);
  EXPECT_EQ(destination.width(), 1);
  EXPECT_EQ(destination.height(), 2);
  EXPECT_EQ(destination.data()[5], 6);
  EXPECT_FALSE(source.HasData());
  EXPECT_EQ(source.width(), 0);
}

TEST(ImageRecordTest, TransferOfOtherSizeTakesTheSourceContents) {
  ImageRecord destination = MakeRecord(1, 1, 1, 8, {9});
  ImageRecord source = MakeRecord(2, 1, 1, 16, {0x1234, 0x5678});
  destination.TransferFrom(source);
  EXPECT_EQ(destination.bits(), 16);
  EXPECT_EQ(destination.Row<std::uint16_t>(0)[1], 0x5678);
  EXPECT_FALSE(source.HasData());
}

TEST(ImageRecordTest, MoveLeavesTheSourceEmpty) {
  ImageRecord source = MakeRecord(1, 1, 1, 8, {7});
  ImageRecord moved = std::move(source);
  EXPECT_TRUE(moved.HasData());
  EXPECT_FALSE(source.HasData());  // NOLINT(bugprone-use-after-move): the contract is empty
}

TEST(ConvertTo8BitColourTest, GreyIsReplicatedIntoThreeChannels) {
  ImageRecord record = MakeRecord(2, 1, 1, 8, {10, 200});
  ConvertTo8BitColour(record);
  ASSERT_EQ(record.channels(), 3);
  EXPECT_EQ(record.bits(), 8);
  EXPECT_EQ(record.stride(), 6);
  const std::uint8_t expected[] = {10, 10, 10, 200, 200, 200};
  EXPECT_EQ(std::memcmp(record.data(), expected, 6), 0);
}

TEST(ConvertTo8BitColourTest, SixteenBitSamplesKeepTheirHighByte) {
  ImageRecord record = MakeRecord(1, 1, 3, 16, {0xABCD, 0x00FF, 0xFFFF});
  ConvertTo8BitColour(record);
  ASSERT_EQ(record.bits(), 8);
  EXPECT_EQ(record.data()[0], 0xAB);
  EXPECT_EQ(record.data()[1], 0x00);
  EXPECT_EQ(record.data()[2], 0xFF);
  ImageRecord grey = MakeRecord(1, 1, 1, 16, {0x1280});
  ConvertTo8BitColour(grey);
  EXPECT_EQ(grey.data()[2], 0x12);
}

TEST(ConvertTo8BitColourTest, FourChannelsAreLeftUnchanged) {
  ImageRecord record = MakeRecord(1, 1, 4, 8, {1, 2, 3, 4});
  const std::uint8_t* before = record.data();
  ConvertTo8BitColour(record);
  EXPECT_EQ(record.channels(), 4);
  EXPECT_EQ(record.data(), before);
}

TEST(ConvertTo8BitColourTest, MemoryShortageEmptiesTheRecord) {
  ImageRecord record = MakeRecord(2, 2, 1, 8, {1, 2, 3, 4});
  ArmAllocationFailure(1);
  ConvertTo8BitColour(record);
  ArmAllocationFailure(0);
  EXPECT_FALSE(record.HasData());
  EXPECT_EQ(record.width(), 0);
}

// Every loaded photograph passes through these; one already in the target
// form must cost neither a buffer nor a copy.
TEST(ConvertTo8BitColourTest, TargetLayoutsKeepTheirBufferAndObtainNone) {
  ImageRecord colour = MakeRecord(2, 1, 3, 8, {1, 2, 3, 4, 5, 6});
  ImageRecord alpha = MakeRecord(2, 1, 1, 8, {7, 8});
  const std::uint8_t* colour_buffer = colour.data();
  const std::uint8_t* alpha_buffer = alpha.data();
  ArmAllocationFailure(1);
  ConvertTo8BitColour(colour);
  EXPECT_TRUE(ConvertTo8BitChannels(alpha, 1));
  ArmAllocationFailure(0);
  EXPECT_EQ(colour.data(), colour_buffer);
  EXPECT_EQ(colour.data()[5], 6);
  EXPECT_EQ(alpha.data(), alpha_buffer);
  EXPECT_EQ(alpha.data()[1], 8);
}

TEST(ConvertTo8BitChannelsTest, OneChannelIsTheRoundedDownMean) {
  ImageRecord record = MakeRecord(1, 1, 3, 8, {10, 11, 13});
  ASSERT_TRUE(ConvertTo8BitChannels(record, 1));
  EXPECT_EQ(record.channels(), 1);
  EXPECT_EQ(record.data()[0], 11);
  ImageRecord wide = MakeRecord(1, 1, 3, 16, {0x0100, 0x0200, 0x0400});
  ASSERT_TRUE(ConvertTo8BitChannels(wide, 1));
  EXPECT_EQ(wide.data()[0], 0x02);  // mean 0x0255 keeps its high byte
}

TEST(ConvertTo8BitChannelsTest, SixteenBitAlphaBecomesEightBit) {
  ImageRecord alpha = MakeRecord(2, 1, 1, 16, {0xFFFF, 0x8000});
  ASSERT_TRUE(ConvertTo8BitChannels(alpha, 1));
  EXPECT_EQ(alpha.bits(), 8);
  EXPECT_EQ(alpha.data()[0], 0xFF);
  EXPECT_EQ(alpha.data()[1], 0x80);
}

TEST(ConvertTo8BitChannelsTest, OneChannelIsReplicatedAndOtherCountsFail) {
  ImageRecord grey = MakeRecord(1, 1, 1, 8, {42});
  ASSERT_TRUE(ConvertTo8BitChannels(grey, 4));
  EXPECT_EQ(grey.channels(), 4);
  EXPECT_EQ(grey.data()[3], 42);
  ImageRecord colour = MakeRecord(1, 1, 3, 8, {1, 2, 3});
  EXPECT_FALSE(ConvertTo8BitChannels(colour, 4));
  EXPECT_EQ(colour.channels(), 3);
  EXPECT_EQ(colour.data()[2], 3);
}

TEST(ExtractChannelTest, CopiesOneFloatChannel) {
  ImageRecord source;
  ASSERT_EQ(source.Allocate(2, 2, 3, 32), kResultOk);
  for (int i = 0; i < 12; ++i) source.Floats()[i] = static_cast<float>(i) + 0.5f;
  ImageRecord plane;
  ASSERT_EQ(plane.Allocate(2, 2, 1, 32), kResultOk);
  ExtractChannel(plane, 1, source);
  EXPECT_FLOAT_EQ(plane.Floats()[0], 1.5f);
  EXPECT_FLOAT_EQ(plane.Floats()[1], 4.5f);
  EXPECT_FLOAT_EQ(plane.Floats()[3], 10.5f);
}

}  // namespace
}  // namespace pmk
