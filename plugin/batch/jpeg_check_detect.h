// The one call the JPEG survival check makes into the signature engine.
#pragma once

#include <cstdint>

#include "image/image_record.h"

namespace pmk {

// Searches `picture` (three 8-bit channels) for a signature at scale 1.0
// on up to `threads` threads, without a notifier, as PMKCmd verifies what it
// wrote. Returns the engine's result: 0 found, 1 not found, 6 out of memory.
std::uint8_t DetectAtOriginalScale(const ImageRecord& picture, std::uint8_t threads) noexcept;

}  // namespace pmk
