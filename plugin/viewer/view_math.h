// Zoom and pan of the viewer as plain functions of the view state.
//
// Coordinates: image points in pixels (0,0 at the top left corner of the
// picture), view points in pixels of the view area (the part of the window
// between the toolbar and the status bar, 0,0 at its top left corner). The map
// takes the anchor to the centre at the scale of the zoom, without rotation:
//   view = centre + (image - anchor) * zoom.
#pragma once

#include <array>
#include <optional>
#include <string>

namespace pmk::ui {

struct ViewState {
  double anchor_x = 0;  // image point shown at the centre
  double anchor_y = 0;
  double centre_x = 0;  // view point where the anchor is shown
  double centre_y = 0;
  double zoom = 1;  // screen pixels per image pixel; 1 is 100 %
};

struct ViewSize {
  double width = 0;
  double height = 0;
};

struct ViewPoint {
  double x = 0;
  double y = 0;
};

// The most the wheel and fit may enlarge (800 %).
inline constexpr double kMaxZoom = 8.0;
inline constexpr double kZoomInFactor = 1.2;
inline constexpr double kZoomOutFactor = 0.8333333333333334;
// Presets of the zoom box, by list position.
inline constexpr std::array<double, 8> kZoomPresets = {0.1, 0.25, 0.5, 1, 1.5, 2, 4, 8};
// Longest the zoom box text that is read may be.
inline constexpr int kTypedZoomLength = 9;

ViewPoint ImageToView(const ViewState& state, double image_x, double image_y) noexcept;
ViewPoint ViewToImage(const ViewState& state, double view_x, double view_y) noexcept;

// The whole picture of `image_width` x `image_height` (both nonzero) centred in
// the view with a 2-pixel margin, never above 800 %.
ViewState FitView(ViewSize view, double image_width, double image_height) noexcept;

// 100 %: the centre moves to the middle of the view, the anchor stays.
ViewState ActualSizeView(ViewState state, ViewSize view) noexcept;

// The buttons and keys: no limits.
ViewState ZoomedIn(ViewState state) noexcept;
ViewState ZoomedOut(ViewState state) noexcept;

// One wheel notch at `cursor` (clamped into the picture's drawn rectangle),
// keeping the picture point under it fixed. The zoom stays at most 800 % and
// at least the zoom that shows the longer side as 100 screen pixels.
ViewState WheelZoomed(ViewState state, ViewPoint cursor, bool zoom_in, double image_width,
                      double image_height) noexcept;

// The view area changed from `before` to `now`: the picture point shown in the
// middle of the old area is shown in the middle of the new one, at the same
// zoom. An old size without area keeps the anchor and moves it to the middle.
ViewState Resized(ViewState state, ViewSize before, ViewSize now) noexcept;

// A drag from `last` to `now` moves the picture with the mouse.
ViewState Dragged(ViewState state, ViewPoint last, ViewPoint now) noexcept;

// "%.1f %" of the zoom in percent: 1.0 reads "100.0 %".
std::string ZoomText(double zoom);

// The zoom typed into the zoom box (up to kTypedZoomLength characters are
// read): digits with an optional "." or "," decimal part, ended by a blank,
// "%" or the end, clamped to 10 ... 800 %. Empty reads as 10 %. Any other
// character makes the text invalid (no value).
std::optional<double> ParseTypedZoom(const std::string& text) noexcept;

}  // namespace pmk::ui
