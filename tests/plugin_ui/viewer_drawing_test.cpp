#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "image/picture_buffer_ops.h"
#include "plugin/viewer/highlight_frames.h"
#include "plugin/viewer/view_drawing.h"

namespace pmk::ui {
namespace {

ImageRecord Filled(std::int32_t width, std::int32_t height, std::int32_t channels,
                   std::initializer_list<std::uint8_t> pixel) {
  ImageRecord record;
  EXPECT_EQ(record.Allocate(width, height, channels, 8), 0);
  for (std::int32_t y = 0; y < height; ++y) {
    for (std::int32_t x = 0; x < width; ++x) {
      std::memcpy(record.Row<std::uint8_t>(y) + x * channels, pixel.begin(), pixel.size());
    }
  }
  return record;
}

const std::uint8_t* PixelAt(const ImageRecord& record, std::int32_t x, std::int32_t y) {
  return record.Row<std::uint8_t>(y) + x * record.channels();
}

TEST(ViewerDrawing, TransparencyIsShownOverGrey48) {
  struct Case {
    std::uint8_t alpha, expected_blue;
  };
  for (const Case c : {Case{0, 48}, Case{255, 200}, Case{128, 124}}) {
    const ImageRecord picture = Filled(2, 2, 4, {200, 10, 48, c.alpha});
    ImageRecord display;
    ASSERT_EQ(MakeDisplayCopy(picture, display), 0);
    EXPECT_EQ(display.channels(), 3);
    EXPECT_EQ(PixelAt(display, 1, 1)[0], c.expected_blue) << int(c.alpha);
    EXPECT_EQ(PixelAt(display, 1, 1)[2], 48);
  }
  ImageRecord display;
  ImageRecord sixteen;
  ASSERT_EQ(sixteen.Allocate(2, 2, 3, 16), 0);
  EXPECT_EQ(MakeDisplayCopy(sixteen, display), 1);
  EXPECT_FALSE(display.HasData());
}

TEST(ViewerDrawing, NearestNeighbourMapsTheAnchorToTheCentre) {
  ImageRecord picture;
  ASSERT_EQ(picture.Allocate(2, 2, 3, 8), 0);
  for (std::uint8_t i = 0; i < 4; ++i) std::memset(picture.data() + i * 3, 10 * (i + 1), 3);
  ImageRecord back;
  ASSERT_EQ(EnsureBackBuffer(back, 6, 6), 0);
  // Zoom 2 with the picture's centre at view (3, 3): picture covers 1 .. 5.
  DrawView(picture, {1, 1, 3, 3, 2.0}, back);
  const std::uint8_t expected[6][6] = {
      {48, 48, 48, 48, 48, 48}, {48, 10, 10, 20, 20, 48}, {48, 10, 10, 20, 20, 48},
      {48, 30, 30, 40, 40, 48}, {48, 30, 30, 40, 40, 48}, {48, 48, 48, 48, 48, 48},
  };
  for (int y = 0; y < 6; ++y) {
    for (int x = 0; x < 6; ++x) EXPECT_EQ(PixelAt(back, x, y)[1], expected[y][x]) << x << "," << y;
  }
}

TEST(ViewerDrawing, RedrawMatchesThePlainPixelByPixelMap) {
  ImageRecord picture;
  ASSERT_EQ(picture.Allocate(37, 23, 3, 8), 0);
  for (std::int32_t i = 0; i < picture.size(); ++i) picture.data()[i] = std::uint8_t(i * 7);
  for (const ViewState state :
       {ViewState{18.5, 11.5, 40, 30, 1.7}, ViewState{3.2, 20.9, 0, 61, 0.3},
        ViewState{-5, 7, 33.3, 12.1, 8.0}}) {
    ImageRecord back;
    ASSERT_EQ(EnsureBackBuffer(back, 81, 63), 0);
    DrawView(picture, state, back);
    const auto map = picture_buffer::PicMap::Compute(state.centre_x, state.centre_y, state.anchor_x,
                                                     state.anchor_y, 0, state.zoom);
    for (std::int32_t y = 0; y < 63; ++y) {
      for (std::int32_t x = 0; x < 81; ++x) {
        double u = 0, v = 0;
        map.Source(x, y, u, v);
        const bool inside = u >= 0 && v >= 0 && u < 37 && v < 23;
        const std::uint8_t expected =
            inside ? PixelAt(picture, std::int32_t(std::floor(u)), std::int32_t(std::floor(v)))[1]
                   : 48;
        ASSERT_EQ(PixelAt(back, x, y)[1], expected) << x << "," << y << " zoom " << state.zoom;
      }
    }
  }
}

TEST(ViewerDrawing, BackBufferFollowsTheViewBeyond3000By2000) {
  ImageRecord back;
  ASSERT_EQ(EnsureBackBuffer(back, 800, 600), 0);
  const std::uint8_t* before = back.data();
  ASSERT_EQ(EnsureBackBuffer(back, 800, 600), 0);  // same size: kept
  EXPECT_EQ(back.data(), before);
  ASSERT_EQ(EnsureBackBuffer(back, 3840, 2100), 0);  // a maximised 4K window
  EXPECT_EQ(back.width(), 3840);
  EXPECT_EQ(back.height(), 2100);
  ImageRecord picture = Filled(2, 2, 3, {1, 2, 3});
  DrawView(picture, {1, 1, 3000, 2050, 4.0}, back);
  EXPECT_EQ(PixelAt(back, 3001, 2051)[2], 3);  // drawn beyond 3000 x 2000
  EXPECT_EQ(PixelAt(back, 3839, 2099)[0], 48);
}

TEST(ViewerDrawing, HighlightBoxesAreWidenedClampedAndAtMostFour) {
  const std::vector<AreaBox> areas = {
      {10, 10, 100, 100}, {50, 60, 990, 470}, {0, 0, 5, 5}, {200, 200, 300, 300}, {1, 1, 2, 2}};
  const auto boxes = HighlightBoxes(areas, 1000, 500);
  ASSERT_EQ(boxes.size(), 4u);
  EXPECT_EQ(boxes[0], (AreaBox{0, 0, 120, 120}));
  EXPECT_EQ(boxes[1], (AreaBox{30, 40, 996, 490}));
  EXPECT_EQ(boxes[2], (AreaBox{0, 0, 25, 25}));
}

TEST(ViewerDrawing, FrameIsSevenPixelsWideAroundTheBoxOnly) {
  ImageRecord picture = Filled(40, 40, 4, {0, 0, 0, 0});
  DrawHighlightFrame(picture, {10, 10, 30, 30}, 1);
  const auto is_frame = [&](int x, int y) {
    const std::uint8_t* p = PixelAt(picture, x, y);
    return p[0] == 255 && p[1] == 100 && p[2] == 100 && p[3] == 255;
  };
  EXPECT_TRUE(is_frame(7, 7));     // outer corner
  EXPECT_TRUE(is_frame(20, 13));   // top edge, inner side
  EXPECT_FALSE(is_frame(20, 14));  // inside
  EXPECT_FALSE(is_frame(6, 20));   // outside the left edge
  EXPECT_TRUE(is_frame(33, 33));
  EXPECT_FALSE(is_frame(34, 20));
  // A box at the picture's corner: no pixel outside is touched, none crashes.
  DrawHighlightFrame(picture, {0, 0, 36, 36}, 0);
  EXPECT_EQ(PixelAt(picture, 0, 0)[1], 255);
}

}  // namespace
}  // namespace pmk::ui
