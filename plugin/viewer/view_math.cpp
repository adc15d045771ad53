#include "plugin/viewer/view_math.h"

#include <algorithm>
#include <cstdio>

namespace pmk::ui {

ViewPoint ImageToView(const ViewState& state, double image_x, double image_y) noexcept {
  return {state.centre_x + (image_x - state.anchor_x) * state.zoom,
          state.centre_y + (image_y - state.anchor_y) * state.zoom};
}

ViewPoint ViewToImage(const ViewState& state, double view_x, double view_y) noexcept {
  return {state.anchor_x + (view_x - state.centre_x) / state.zoom,
          state.anchor_y + (view_y - state.centre_y) / state.zoom};
}

ViewState FitView(ViewSize view, double image_width, double image_height) noexcept {
  ViewState state;
  state.centre_x = view.width / 2;
  state.centre_y = view.height / 2;
  state.anchor_x = image_width / 2;
  state.anchor_y = image_height / 2;
  const double by_width = (view.width / 2 - 2) / (image_width / 2);
  const double by_height = (view.height / 2 - 2) / (image_height / 2);
  state.zoom = std::min(std::min(by_width, by_height), kMaxZoom);
  return state;
}

ViewState ActualSizeView(ViewState state, ViewSize view) noexcept {
  state.centre_x = view.width / 2;
  state.centre_y = view.height / 2;
  state.zoom = 1;
  return state;
}

ViewState ZoomedIn(ViewState state) noexcept {
  state.zoom *= kZoomInFactor;
  return state;
}

ViewState ZoomedOut(ViewState state) noexcept {
  state.zoom *= kZoomOutFactor;
  return state;
}

ViewState WheelZoomed(ViewState state, ViewPoint cursor, bool zoom_in, double image_width,
                      double image_height) noexcept {
  const ViewPoint top_left = ImageToView(state, 0, 0);
  const ViewPoint bottom_right = ImageToView(state, image_width, image_height);
  cursor.x = std::clamp(cursor.x, top_left.x, bottom_right.x);
  cursor.y = std::clamp(cursor.y, top_left.y, bottom_right.y);
  const ViewPoint fixed = ViewToImage(state, cursor.x, cursor.y);
  state.anchor_x = fixed.x;
  state.anchor_y = fixed.y;
  state.centre_x = cursor.x;
  state.centre_y = cursor.y;
  state.zoom *= zoom_in ? kZoomInFactor : kZoomOutFactor;
  state.zoom = std::min(state.zoom, kMaxZoom);
  state.zoom = std::max(state.zoom, 100.0 / std::max(image_width, image_height));
  return state;
}

ViewState Resized(ViewState state, ViewSize before, ViewSize now) noexcept {
  if (before.width > 0 && before.height > 0) {
    const ViewPoint middle = ViewToImage(state, before.width / 2, before.height / 2);
    state.anchor_x = middle.x;
    state.anchor_y = middle.y;
  }
  state.centre_x = now.width / 2;
  state.centre_y = now.height / 2;
  return state;
}

ViewState Dragged(ViewState state, ViewPoint last, ViewPoint now) noexcept {
  state.anchor_x += (last.x - now.x) / state.zoom;
  state.anchor_y += (last.y - now.y) / state.zoom;
  return state;
}

std::string ZoomText(double zoom) {
  char text[64];
  std::snprintf(text, sizeof text, "%.1f %s", zoom * 100, "%");
  return text;
}

std::optional<double> ParseTypedZoom(const std::string& text) noexcept {
  const std::size_t length = std::min<std::size_t>(text.size(), kTypedZoomLength);
  double number = 0;
  int decimals = 0;
  bool after_point = false;
  for (std::size_t i = 0; i < length; ++i) {
    const char c = text[i];
    if (c >= '0' && c <= '9') {
      number = number * 10 + (c - '0');
      if (after_point) ++decimals;
    } else if (c == '.' || c == ',') {
      after_point = true;
    } else if (c == ' ' || c == '%') {
      break;
    } else {
      return std::nullopt;
    }
  }
  double divisor = 1;
  for (int i = 0; i < decimals; ++i) divisor *= 10;
  const double value = std::clamp(number / divisor, 10.0, 800.0);
  return value / 100;
}

}  // namespace pmk::ui
