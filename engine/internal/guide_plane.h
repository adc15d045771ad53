// The plane on which regions are searched: the mean of green and red.
//
// The mark lives in blue only, so this plane is the same before and after
// signing, which is what lets detection find the regions again.
#pragma once

#include <cstdint>

#include "image/image_record.h"

namespace pmk {

// Turns a three-channel 32-bit float record (blue, green, red) into the
// one-channel plane (green + red) * 0.5 of the same size, computed in single
// precision. Returns 0; 6 when memory runs out, with the record unchanged;
// 1 for a record of any other layout, also unchanged.
std::uint8_t MakeGuidePlane(ImageRecord& record) noexcept;

}  // namespace pmk
