// Drawing the picture into the viewer's back buffer.
//
// The display copy is the picture prepared once per change: three 8-bit
// channels, a four-channel picture composited over grey 48. Every view change
// then maps only what is visible into the back buffer by nearest neighbour,
// so zooming and panning never resample the whole picture.
#pragma once

#include <cstdint>

#include "image/image_record.h"
#include "plugin/viewer/view_math.h"

namespace pmk::ui {

// The grey behind the picture and behind transparent pixels.
inline constexpr std::uint8_t kBackgroundGrey = 48;

// `display` becomes the picture ready for drawing. Returns 0, 1 for a picture
// that cannot be shown (not 8 bits, or not 1, 3 or 4 channels; `display` ends
// empty) or 6 when memory runs out.
std::uint8_t MakeDisplayCopy(const ImageRecord& picture, ImageRecord& display) noexcept;

// Makes `back` a three-channel 8-bit buffer of the view's size (at least one
// pixel each way), keeping the buffer while the size stays: it follows the
// window, however large the display. Returns 0 or 6 (with an empty buffer).
std::uint8_t EnsureBackBuffer(ImageRecord& back, std::int32_t width, std::int32_t height) noexcept;

// Fills `back` with grey 48 and maps `display` (may be empty) into it through
// `state`: view pixel (x, y) shows the picture pixel under its centre,
// (x + 0.5, y + 0.5).
void DrawView(const ImageRecord& display, const ViewState& state, ImageRecord& back) noexcept;

}  // namespace pmk::ui
