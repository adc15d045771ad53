#include <gtest/gtest.h>

#include "plugin/viewer/view_math.h"

namespace pmk::ui {
namespace {

struct FitCase {
  const char* name;
  double image_width, image_height, zoom;
};

TEST(ViewerViewMath, FitShowsTheWholePictureCentredAndAtMost800Percent) {
  const ViewSize view{1000, 800};
  const FitCase cases[] = {
      {"wide", 4000, 1000, (500.0 - 2) / 2000},
      {"tall", 1000, 4000, (400.0 - 2) / 2000},
      {"small", 50, 40, 8.0},
  };
  for (const FitCase& c : cases) {
    SCOPED_TRACE(c.name);
    const ViewState state = FitView(view, c.image_width, c.image_height);
    EXPECT_DOUBLE_EQ(state.zoom, c.zoom);
    EXPECT_DOUBLE_EQ(state.anchor_x, c.image_width / 2);
    EXPECT_DOUBLE_EQ(state.anchor_y, c.image_height / 2);
    const ViewPoint top_left = ImageToView(state, 0, 0);
    const ViewPoint bottom_right = ImageToView(state, c.image_width, c.image_height);
    EXPECT_GE(top_left.x, 0);
    EXPECT_GE(top_left.y, 0);
    EXPECT_LE(bottom_right.x, view.width);
    EXPECT_LE(bottom_right.y, view.height);
    EXPECT_DOUBLE_EQ(top_left.x + bottom_right.x, view.width);  // centred
  }
}

TEST(ViewerViewMath, AResizeKeepsThePictureMiddleInTheMiddle) {
  // After a wheel zoom the anchor sits under the cursor, away from the middle.
  const ViewState state{300, 200, 100, 50, 2};
  struct Case {
    const char* name;
    ViewSize before, now;
    double anchor_x, anchor_y;
  };
  const Case cases[] = {
      {"larger", {400, 300}, {1000, 700}, 300 + (200 - 100) / 2.0, 200 + (150 - 50) / 2.0},
      {"smaller", {400, 300}, {100, 80}, 350, 250},
      {"no old size", {0, 0}, {640, 480}, 300, 200},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const ViewState resized = Resized(state, c.before, c.now);
    EXPECT_DOUBLE_EQ(resized.zoom, 2);
    EXPECT_DOUBLE_EQ(resized.anchor_x, c.anchor_x);
    EXPECT_DOUBLE_EQ(resized.anchor_y, c.anchor_y);
    const ViewPoint middle = ImageToView(resized, c.anchor_x, c.anchor_y);
    EXPECT_DOUBLE_EQ(middle.x, c.now.width / 2);
    EXPECT_DOUBLE_EQ(middle.y, c.now.height / 2);
  }
}

TEST(ViewerViewMath, ZoomTextHasOneDecimalAndPercent) {
  EXPECT_EQ(ZoomText(1.0), "100.0 %");
  EXPECT_EQ(ZoomText(0.1), "10.0 %");
  EXPECT_EQ(ZoomText(1.2 * 1.2), "144.0 %");
}

TEST(ViewerViewMath, TypedZoomParsesAndClamps) {
  struct Case {
    const char* text;
    std::optional<double> zoom;
  };
  const Case cases[] = {
      {"150", 1.5},
      {"150,0", 1.5},
      {"150.0 %", 1.5},
      {"150%", 1.5},
      {"5", 0.1},
      {"2000", 8.0},
      {"", 0.1},
      {"12.5", 0.125},
      {"15a", std::nullopt},
      {"x", std::nullopt},
      {"-50", std::nullopt},
      // Only the first nine characters are read: the letter is never seen.
      {"123456789z", 8.0},
      // A blank ends the number, so what follows does not matter.
      {"25 abc", 0.25},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    const auto zoom = ParseTypedZoom(c.text);
    ASSERT_EQ(zoom.has_value(), c.zoom.has_value());
    if (zoom) {
      EXPECT_DOUBLE_EQ(*zoom, *c.zoom);
    }
  }
}

TEST(ViewerViewMath, WheelKeepsThePointUnderTheCursorFixed) {
  const ViewState start{500, 500, 400, 300, 1.0};
  const ViewPoint cursor{450, 320};
  const ViewPoint before = ViewToImage(start, cursor.x, cursor.y);
  for (const bool zoom_in : {true, false}) {
    const ViewState after = WheelZoomed(start, cursor, zoom_in, 1000, 1000);
    const ViewPoint point = ViewToImage(after, cursor.x, cursor.y);
    EXPECT_NEAR(point.x, before.x, 1e-9);
    EXPECT_NEAR(point.y, before.y, 1e-9);
    EXPECT_DOUBLE_EQ(after.zoom, zoom_in ? 1.2 : 0.8333333333333334);
  }
}

TEST(ViewerViewMath, WheelClampsTheCursorIntoThePicture) {
  // The picture covers view x 0 .. 100; a cursor far right acts on its edge.
  const ViewState start{50, 50, 50, 50, 1.0};
  const ViewState after = WheelZoomed(start, {900, 50}, true, 100, 100);
  EXPECT_DOUBLE_EQ(after.centre_x, 100);
  EXPECT_DOUBLE_EQ(after.anchor_x, 100);
}

TEST(ViewerViewMath, WheelStaysWithin800PercentAndThe100PixelFloorButButtonsDoNot) {
  struct Case {
    double zoom;
    bool zoom_in;
    double width, height, expected;
  };
  const Case cases[] = {
      {7.5, true, 1000, 500, 8.0},
      {8.0, true, 1000, 500, 8.0},
      {0.1, false, 1000, 500, 0.1},  // 1000 pixels shown as 100
      {0.11, false, 1000, 500, 0.1},
      {2.0, false, 40, 30, 2.5},  // a small picture is never shown below 100 pixels
  };
  for (const Case& c : cases) {
    const ViewState after = WheelZoomed({0, 0, 0, 0, c.zoom}, {0, 0}, c.zoom_in, c.width, c.height);
    EXPECT_DOUBLE_EQ(after.zoom, c.expected) << c.zoom;
  }
  EXPECT_DOUBLE_EQ(ZoomedIn({0, 0, 0, 0, 8.0}).zoom, 9.6);
  EXPECT_DOUBLE_EQ(ZoomedOut({0, 0, 0, 0, 0.012}).zoom, 0.01);
}

TEST(ViewerViewMath, DragMovesTheAnchorByTheMouseMovementOverTheZoom) {
  const ViewState after = Dragged({300, 200, 0, 0, 2.0}, {100, 100}, {140, 80});
  EXPECT_DOUBLE_EQ(after.anchor_x, 280);
  EXPECT_DOUBLE_EQ(after.anchor_y, 210);
}

TEST(ViewerViewMath, ActualSizeCentresTheViewAndKeepsTheAnchor) {
  const ViewState after = ActualSizeView({12, 34, 0, 0, 3.0}, {640, 480});
  EXPECT_DOUBLE_EQ(after.zoom, 1.0);
  EXPECT_DOUBLE_EQ(after.centre_x, 320);
  EXPECT_DOUBLE_EQ(after.centre_y, 240);
  EXPECT_DOUBLE_EQ(after.anchor_x, 12);
}

}  // namespace
}  // namespace pmk::ui
