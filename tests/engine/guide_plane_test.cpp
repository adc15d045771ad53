#include "engine/internal/guide_plane.h"

#include <gtest/gtest.h>

#include "image/checked_allocation.h"
#include "image/image_record.h"

namespace pmk {
namespace {

ImageRecord ThreeChannelFloats(int w, int h) {
  ImageRecord record;
  EXPECT_EQ(record.Allocate(w, h, 3, 32), kResultOk);
  for (int y = 0; y < h; ++y) {
    float* row = record.Row<float>(y);
    for (int x = 0; x < w; ++x) {
      row[3 * x] = 1000.0f + x;                                         // blue: must not count
      row[3 * x + 1] = static_cast<float>((7 * x + 3 * y) % 256);       // green
      row[3 * x + 2] = static_cast<float>((5 * x + 11 * y + 1) % 256);  // red
    }
  }
  return record;
}

TEST(MakeGuidePlane, ReplacesTheRecordByTheMeanOfGreenAndRed) {
  const int w = 37;
  const int h = 5;
  ImageRecord record = ThreeChannelFloats(w, h);
  ASSERT_EQ(MakeGuidePlane(record), kResultOk);
  EXPECT_EQ(record.width(), w);
  EXPECT_EQ(record.height(), h);
  EXPECT_EQ(record.channels(), 1);
  EXPECT_EQ(record.bits(), 32);
  EXPECT_EQ(record.stride(), 4 * w);
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      const float green = static_cast<float>((7 * x + 3 * y) % 256);
      const float red = static_cast<float>((5 * x + 11 * y + 1) % 256);
      EXPECT_EQ(record.Row<float>(y)[x], (green + red) * 0.5f) << x << "," << y;
    }
  }
}

TEST(MakeGuidePlane, OddSumsKeepTheirHalf) {
  ImageRecord record;
  ASSERT_EQ(record.Allocate(1, 1, 3, 32), kResultOk);
  record.Floats()[0] = 9.0f;
  record.Floats()[1] = 255.0f;
  record.Floats()[2] = 0.0f;
  ASSERT_EQ(MakeGuidePlane(record), kResultOk);
  EXPECT_EQ(record.Floats()[0], 127.5f);
}

TEST(MakeGuidePlane, WithoutMemoryTheRecordStaysAsItWas) {
  ImageRecord record = ThreeChannelFloats(8, 4);
  const std::uint8_t* data = record.data();
  ArmAllocationFailure(1);
  EXPECT_EQ(MakeGuidePlane(record), kResultNoMemory);
  ArmAllocationFailure(0);
  EXPECT_EQ(record.data(), data);
  EXPECT_EQ(record.channels(), 3);
  EXPECT_EQ(record.stride(), 12 * 8);
  EXPECT_EQ(record.Row<float>(3)[3 * 7 + 1], static_cast<float>((49 + 9) % 256));
}

TEST(MakeGuidePlane, RefusesOtherLayouts) {
  ImageRecord bytes;
  ASSERT_EQ(bytes.Allocate(4, 4, 3, 8), kResultOk);
  EXPECT_EQ(MakeGuidePlane(bytes), kResultRefused);
  EXPECT_EQ(bytes.channels(), 3);
  ImageRecord plane;
  ASSERT_EQ(plane.Allocate(4, 4, 1, 32), kResultOk);
  EXPECT_EQ(MakeGuidePlane(plane), kResultRefused);
  ImageRecord empty;
  EXPECT_EQ(MakeGuidePlane(empty), kResultRefused);
}

}  // namespace
}  // namespace pmk
