// The coloured frames that show where a signing put the mark.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "image/image_record.h"
#include "plugin/signing/checked_signing.h"

namespace pmk::ui {

// Frames are drawn around this many areas at most.
inline constexpr int kMaxHighlightedAreas = 4;

// The first four boxes, each widened by 20 pixels on every side and clamped to
// 0 ... width - 4 and 0 ... height - 4.
std::vector<AreaBox> HighlightBoxes(const std::vector<AreaBox>& areas, std::int32_t width,
                                    std::int32_t height);

// Frame colour of area `index` (0 to 3) as blue, green, red: green, blue, red,
// magenta.
std::array<std::uint8_t, 3> FrameColour(int index) noexcept;

// Draws a 7-pixel-wide frame centred on the box's edges into an 8-bit picture
// of 3 or 4 channels (alpha becomes 255); parts outside the picture are left.
void DrawHighlightFrame(ImageRecord& picture, const AreaBox& box, int index) noexcept;

}  // namespace pmk::ui
