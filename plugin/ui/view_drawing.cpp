#include "plugin/ui/view_drawing.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

namespace pmk::ui {

namespace {

// Source column or row for each view column or row, -1 outside the picture.
std::vector<std::int32_t> SourceIndices(std::int32_t count, double centre, double anchor,
                                        double zoom, std::int32_t limit) {
  std::vector<std::int32_t> indices(static_cast<std::size_t>(count));
  for (std::int32_t i = 0; i < count; ++i) {
    const double source = std::floor(anchor + (i + 0.5 - centre) / zoom);
    indices[static_cast<std::size_t>(i)] =
        source >= 0 && source < limit ? static_cast<std::int32_t>(source) : -1;
  }
  return indices;
}

}  // namespace

std::uint8_t MakeDisplayCopy(const ImageRecord& picture, ImageRecord& display) noexcept {
  display.Release();
  const std::int32_t channels = picture.channels();
  if (!picture.HasData() || picture.bits() != 8 ||
      (channels != 1 && channels != 3 && channels != 4)) {
    return kResultRefused;
  }
  if (display.Allocate(picture.width(), picture.height(), 3, 8) != kResultOk) {
    display.Release();
    return kResultNoMemory;
  }
  for (std::int32_t y = 0; y < picture.height(); ++y) {
    const std::uint8_t* in = picture.Row<std::uint8_t>(y);
    std::uint8_t* out = display.Row<std::uint8_t>(y);
    for (std::int32_t x = 0; x < picture.width(); ++x, in += channels, out += 3) {
      if (channels == 1) {
        out[0] = out[1] = out[2] = in[0];
      } else if (channels == 3) {
        std::memcpy(out, in, 3);
      } else {
        const int alpha = in[3];
        for (int c = 0; c < 3; ++c) {
          out[c] = static_cast<std::uint8_t>(
              (in[c] * alpha + kBackgroundGrey * (255 - alpha) + 127) / 255);
        }
      }
    }
  }
  return kResultOk;
}

std::uint8_t CopyPicture(const ImageRecord& source, ImageRecord& destination) noexcept {
  destination.Release();
  if (!source.HasData()) return kResultOk;
  if (destination.Allocate(source.width(), source.height(), source.channels(), source.bits()) !=
      kResultOk) {
    destination.Release();
    return kResultNoMemory;
  }
  std::memcpy(destination.data(), source.data(), static_cast<std::size_t>(source.size()));
  return kResultOk;
}

std::uint8_t EnsureBackBuffer(ImageRecord& back, std::int32_t width, std::int32_t height) noexcept {
  width = std::max(width, 1);
  height = std::max(height, 1);
  if (back.HasData() && back.width() >= width && back.height() >= height) return kResultOk;
  const std::int32_t new_width = std::max(width, back.width());
  const std::int32_t new_height = std::max(height, back.height());
  if (back.Allocate(new_width, new_height, 3, 8) != kResultOk) {
    back.Release();
    return kResultNoMemory;
  }
  std::memset(back.data(), kBackgroundGrey, static_cast<std::size_t>(back.size()));
  return kResultOk;
}

void DrawView(const ImageRecord& display, const ViewState& state, ImageRecord& back,
              std::int32_t width, std::int32_t height) noexcept {
  width = std::clamp(width, 0, back.width());
  height = std::clamp(height, 0, back.height());
  for (std::int32_t y = 0; y < height; ++y) {
    std::memset(back.Row<std::uint8_t>(y), kBackgroundGrey, static_cast<std::size_t>(width) * 3);
  }
  if (!display.HasData() || !(state.zoom > 0)) return;
  try {
    const auto columns =
        SourceIndices(width, state.centre_x, state.anchor_x, state.zoom, display.width());
    const auto rows =
        SourceIndices(height, state.centre_y, state.anchor_y, state.zoom, display.height());
    for (std::int32_t y = 0; y < height; ++y) {
      const std::int32_t source_row = rows[static_cast<std::size_t>(y)];
      if (source_row < 0) continue;
      const std::uint8_t* in = display.Row<std::uint8_t>(source_row);
      std::uint8_t* out = back.Row<std::uint8_t>(y);
      for (std::int32_t x = 0; x < width; ++x, out += 3) {
        const std::int32_t source_column = columns[static_cast<std::size_t>(x)];
        if (source_column >= 0) std::memcpy(out, in + source_column * 3, 3);
      }
    }
  } catch (...) {
    // Two index tables of the view's size: without them the view stays grey.
  }
}

}  // namespace pmk::ui
