// The plug-in's picture-buffer operations on ImageRecord.
#include "image/picture_buffer_ops.h"

#include <gtest/gtest.h>

#include <vector>

namespace pmk::picture_buffer {
namespace {

// A picture whose every sample is distinct enough to show where it came from.
ImageRecord Painted(int width, int height, int channels, int bits = 8) {
  ImageRecord r;
  EXPECT_EQ(r.Allocate(width, height, channels, bits), kResultOk);
  for (int i = 0; i < r.size(); ++i) r.data()[i] = static_cast<std::uint8_t>(i * 7 + 3);
  return r;
}

std::uint8_t At(const ImageRecord& r, int x, int y, int c) {
  return r.Row<std::uint8_t>(y)[x * r.channels() + c];
}

TEST(PictureBufferOpsTest, CopiesWholePicturesRectanglesAndBlocks) {
  const ImageRecord source = Painted(10, 8, 3);
  ImageRecord same = Painted(10, 8, 3);
  std::fill(same.data(), same.data() + same.size(), 0);
  EXPECT_EQ(Copy(same, source), kResultOk);
  EXPECT_TRUE(std::equal(source.data(), source.data() + source.size(), same.data()));
  ImageRecord other = Painted(9, 8, 3);
  EXPECT_EQ(Copy(other, source), kResultRefused);

  ImageRecord part;
  EXPECT_EQ(Copy(part, source, Rect{2, 3, 20, 5}), kResultOk);  // clipped on the right
  ASSERT_EQ(part.width(), 8);
  ASSERT_EQ(part.height(), 2);
  EXPECT_EQ(At(part, 0, 0, 1), At(source, 2, 3, 1));
  EXPECT_EQ(At(part, 7, 1, 2), At(source, 9, 4, 2));
  EXPECT_EQ(Copy(part, source, Rect{12, 0, 14, 2}), kResultRefused);

  struct Block {
    Point to, from;
    Size size;
    int copied_x0, copied_y0, copied_w, copied_h;  // in destination coordinates
  };
  const Block blocks[] = {
      {{1, 1}, {2, 2}, {3, 2}, 1, 1, 3, 2},
      {{-2, 0}, {0, 0}, {4, 4}, 0, 0, 2, 4},   // destination corner outside
      {{4, 4}, {8, 6}, {5, 5}, 4, 4, 2, 2},    // source runs out
      {{0, 0}, {-1, -1}, {3, 3}, 1, 1, 2, 2},  // source corner outside
  };
  for (const Block& b : blocks) {
    ImageRecord destination = Painted(6, 6, 3);
    std::fill(destination.data(), destination.data() + destination.size(), 0);
    EXPECT_EQ(CopyRect(destination, source, b.to, b.from, b.size), kResultOk);
    for (int y = 0; y < 6; ++y) {
      for (int x = 0; x < 6; ++x) {
        const bool inside = x >= b.copied_x0 && x < b.copied_x0 + b.copied_w && y >= b.copied_y0 &&
                            y < b.copied_y0 + b.copied_h;
        const std::uint8_t expected =
            inside ? At(source, x - b.to.x + b.from.x, y - b.to.y + b.from.y, 0) : 0;
        ASSERT_EQ(At(destination, x, y, 0), expected) << x << "," << y;
      }
    }
  }
  ImageRecord four = Painted(6, 6, 4);
  EXPECT_EQ(CopyRect(four, source, {0, 0}, {0, 0}, {2, 2}), kResultRefused);
}

TEST(PictureBufferOpsTest, ComponentsComeOutGoInAndAreRemoved) {
  for (const int bits : {8, 16}) {
    SCOPED_TRACE(bits);
    const ImageRecord source = Painted(5, 4, 4, bits);
    const int sample = bits / 8;
    ImageRecord plane;
    ASSERT_EQ(ExtractComponent(plane, 2, source), kResultOk);
    ASSERT_EQ(plane.channels(), 1);
    ImageRecord rest;
    ASSERT_EQ(RemoveComponent(rest, 1, source), kResultOk);
    ASSERT_EQ(rest.channels(), 3);
    ImageRecord target = Painted(5, 4, 4, bits);
    std::fill(target.data(), target.data() + target.size(), 0);
    ASSERT_EQ(InsertComponent(target, 3, plane), kResultOk);
    for (int y = 0; y < 4; ++y) {
      for (int x = 0; x < 5; ++x) {
        const std::uint8_t* in = source.Row<std::uint8_t>(y) + x * 4 * sample;
        for (int b = 0; b < sample; ++b) {
          EXPECT_EQ(plane.Row<std::uint8_t>(y)[x * sample + b], in[2 * sample + b]);
          const std::uint8_t* kept = rest.Row<std::uint8_t>(y) + x * 3 * sample;
          EXPECT_EQ(kept[0 * sample + b], in[0 * sample + b]);
          EXPECT_EQ(kept[1 * sample + b], in[2 * sample + b]);
          EXPECT_EQ(kept[2 * sample + b], in[3 * sample + b]);
          const std::uint8_t* out = target.Row<std::uint8_t>(y) + x * 4 * sample;
          EXPECT_EQ(out[3 * sample + b], in[2 * sample + b]);
          EXPECT_EQ(out[0 * sample + b], 0);
        }
      }
    }
  }
  const ImageRecord source = Painted(5, 4, 3);
  ImageRecord unchanged = Painted(5, 4, 3);
  ImageRecord wrong_size = Painted(4, 4, 1);
  EXPECT_EQ(ExtractComponent(unchanged, 3, source), kResultRefused);
  EXPECT_EQ(InsertComponent(unchanged, 0, wrong_size), kResultRefused);
  EXPECT_EQ(RemoveComponent(unchanged, -1, source), kResultRefused);
  EXPECT_EQ(unchanged.channels(), 3);
}

TEST(PictureBufferOpsTest, AlphaCompositesOverTheColour) {
  struct Case {
    std::uint8_t sample, alpha, colour, expected;
  };
  const Case cases[] = {
      {200, 255, 48, 200}, {200, 0, 48, 48},    {255, 128, 0, 128},
      {0, 128, 255, 127},  {100, 51, 200, 180},  // (100*51 + 200*204 + 127) / 255
  };
  for (const Case& c : cases) {
    ImageRecord picture;
    ASSERT_EQ(picture.Allocate(1, 1, 4, 8), kResultOk);
    picture.data()[0] = picture.data()[1] = picture.data()[2] = c.sample;
    picture.data()[3] = c.alpha;
    ASSERT_EQ(ApplyAlphaChannel(picture, c.colour, c.colour, c.colour), kResultOk);
    ASSERT_EQ(picture.channels(), 3);
    EXPECT_EQ(picture.data()[0], c.expected) << int(c.sample) << " " << int(c.alpha);
  }
  ImageRecord three = Painted(2, 2, 3);
  EXPECT_EQ(ApplyAlphaChannel(three, 0, 0, 0), kResultRefused);
}

TEST(PictureBufferOpsTest, ConvertsDepthAndChannels) {
  struct Case {
    int from_bits, from_channels;
    std::vector<std::uint16_t> in;
    int bits, channels;
    std::vector<std::uint16_t> out;
  };
  const Case cases[] = {
      {8, 3, {10, 20, 31}, 8, 1, {20}},
      {8, 1, {77}, 8, 3, {77, 77, 77}},
      {8, 1, {77}, 8, 4, {77, 77, 77, 255}},
      {8, 3, {1, 2, 3}, 8, 4, {1, 2, 3, 255}},
      {8, 4, {1, 2, 3, 9}, 8, 3, {1, 2, 3}},
      {8, 3, {0, 1, 255}, 16, 3, {0, 257, 65535}},
      {16, 3, {0x1234, 0xFF00, 0x00FF}, 8, 3, {0x12, 0xFF, 0x00}},
      {16, 1, {0xABCD}, 16, 4, {0xABCD, 0xABCD, 0xABCD, 0xFFFF}},
  };
  for (const Case& c : cases) {
    ImageRecord picture;
    ASSERT_EQ(picture.Allocate(1, 1, c.from_channels, c.from_bits), kResultOk);
    for (int i = 0; i < c.from_channels; ++i) {
      if (c.from_bits == 16) {
        picture.Row<std::uint16_t>(0)[i] = c.in[i];
      } else {
        picture.data()[i] = static_cast<std::uint8_t>(c.in[i]);
      }
    }
    ASSERT_EQ(ConvertBpcComp(picture, c.bits, c.channels), kResultOk);
    ASSERT_EQ(picture.channels(), c.channels);
    ASSERT_EQ(picture.bits(), c.bits);
    for (int i = 0; i < c.channels; ++i) {
      const std::uint16_t got = c.bits == 16 ? picture.Row<std::uint16_t>(0)[i] : picture.data()[i];
      EXPECT_EQ(got, c.out[i]) << c.from_bits << "/" << c.from_channels << " -> " << c.bits << "/"
                               << c.channels << " sample " << i;
    }
  }
  ImageRecord picture = Painted(2, 2, 3);
  EXPECT_EQ(ConvertBpcComp(picture, 32, 1), kResultRefused);
  EXPECT_EQ(ConvertBpcComp(picture, 8, 2), kResultRefused);
}

TEST(PictureBufferOpsTest, TheMapPutsTheAnchorOnTheCentreAtTheZoom) {
  const ImageRecord source = Painted(8, 8, 3);
  struct Case {
    double centre_x, centre_y, anchor_x, anchor_y, zoom;
    int x, y;    // a destination pixel
    int sx, sy;  // the source pixel it shows; -1: outside, left untouched
  };
  const Case cases[] = {
      {5, 5, 2, 3, 1.0, 5, 5, 2, 3},    {5, 5, 2, 3, 1.0, 0, 0, -1, -1},
      {0, 0, 0, 0, 2.0, 7, 3, 3, 1},    {0, 0, 0, 0, 0.5, 3, 1, 7, 3},
      {10, 10, 4, 4, 4.0, 13, 6, 4, 3}, {0, 0, 6, 6, 1.0, 2, 0, -1, 6},
  };
  for (const Case& c : cases) {
    ImageRecord destination = Painted(16, 16, 3);
    std::fill(destination.data(), destination.data() + destination.size(), 1);
    const PicMap map = PicMap::Compute(c.centre_x, c.centre_y, c.anchor_x, c.anchor_y, 0, c.zoom);
    ASSERT_EQ(TransformConstantFast(destination, source, map), kResultOk);
    const std::uint8_t expected =
        c.sx < 0 || c.sx >= 8 || c.sy >= 8 ? 1 : At(source, c.sx, c.sy, 1);
    EXPECT_EQ(At(destination, c.x, c.y, 1), expected) << c.x << "," << c.y;
  }
  ImageRecord destination = Painted(4, 4, 3);
  EXPECT_EQ(TransformConstantFast(destination, source, PicMap::Compute(0, 0, 0, 0, 0, 0)),
            kResultRefused);
}

}  // namespace
}  // namespace pmk::picture_buffer
