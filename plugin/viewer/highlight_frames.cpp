#include "plugin/viewer/highlight_frames.h"

#include <algorithm>
#include <cstdlib>

namespace pmk::ui {

std::vector<AreaBox> HighlightBoxes(const std::vector<AreaBox>& areas, std::int32_t width,
                                    std::int32_t height) {
  std::vector<AreaBox> boxes;
  const std::size_t count = std::min<std::size_t>(areas.size(), kMaxHighlightedAreas);
  for (std::size_t i = 0; i < count; ++i) {
    const AreaBox& a = areas[i];
    boxes.push_back({std::clamp(a[0] - 20, 0, width - 4), std::clamp(a[1] - 20, 0, height - 4),
                     std::clamp(a[2] + 20, 0, width - 4), std::clamp(a[3] + 20, 0, height - 4)});
  }
  return boxes;
}

std::array<std::uint8_t, 3> FrameColour(int index) noexcept {
  static constexpr std::array<std::array<std::uint8_t, 3>, kMaxHighlightedAreas> kColours = {{
      {100, 255, 100},
      {255, 100, 100},
      {100, 100, 255},
      {255, 100, 255},
  }};
  return kColours[static_cast<std::size_t>(std::clamp(index, 0, kMaxHighlightedAreas - 1))];
}

void DrawHighlightFrame(ImageRecord& picture, const AreaBox& box, int index) noexcept {
  const std::int32_t channels = picture.channels();
  if (!picture.HasData() || picture.bits() != 8 || channels < 3) return;
  const auto colour = FrameColour(index);
  const auto [left, top, right, bottom] = box;
  const std::int32_t y0 = std::max(top - 3, 0);
  const std::int32_t y1 = std::min(bottom + 3, picture.height() - 1);
  const std::int32_t x0 = std::max(left - 3, 0);
  const std::int32_t x1 = std::min(right + 3, picture.width() - 1);
  for (std::int32_t y = y0; y <= y1; ++y) {
    const bool on_row = std::abs(y - top) <= 3 || std::abs(y - bottom) <= 3;
    std::uint8_t* row = picture.Row<std::uint8_t>(y);
    for (std::int32_t x = x0; x <= x1; ++x) {
      const bool on_column = std::abs(x - left) <= 3 || std::abs(x - right) <= 3;
      if (!on_row && !on_column) continue;
      std::uint8_t* pixel = row + x * channels;
      pixel[0] = colour[0];
      pixel[1] = colour[1];
      pixel[2] = colour[2];
      if (channels == 4) pixel[3] = 255;
    }
  }
}

}  // namespace pmk::ui
