#include "plugin/viewer/view_drawing.h"

#include <algorithm>
#include <cstring>

#include "image/picture_buffer_ops.h"

namespace pmk::ui {

std::uint8_t MakeDisplayCopy(const ImageRecord& picture, ImageRecord& display) noexcept {
  display.Release();
  const std::int32_t channels = picture.channels();
  if (!picture.HasData() || picture.bits() != 8 ||
      (channels != 1 && channels != 3 && channels != 4)) {
    return kResultRefused;
  }
  std::uint8_t result = picture_buffer::CopyWhole(display, picture);
  if (result == kResultOk) {
    result = channels == 4 ? picture_buffer::ApplyAlphaChannel(display, kBackgroundGrey,
                                                               kBackgroundGrey, kBackgroundGrey)
                           : picture_buffer::ConvertBpcComp(display, 8, 3);
  }
  if (result != kResultOk) display.Release();
  return result;
}

std::uint8_t EnsureBackBuffer(ImageRecord& back, std::int32_t width, std::int32_t height) noexcept {
  width = std::max(width, 1);
  height = std::max(height, 1);
  if (back.HasData() && back.width() == width && back.height() == height) return kResultOk;
  if (back.Allocate(width, height, 3, 8) != kResultOk) {
    back.Release();
    return kResultNoMemory;
  }
  std::memset(back.data(), kBackgroundGrey, static_cast<std::size_t>(back.size()));
  return kResultOk;
}

void DrawView(const ImageRecord& display, const ViewState& state, ImageRecord& back) noexcept {
  if (!back.HasData()) return;
  std::memset(back.data(), kBackgroundGrey, static_cast<std::size_t>(back.size()));
  if (!display.HasData()) return;
  const auto map = picture_buffer::PicMap::Compute(state.centre_x, state.centre_y, state.anchor_x,
                                                   state.anchor_y, 0, state.zoom);
  picture_buffer::TransformConstantFast(back, display, map);
}

}  // namespace pmk::ui
