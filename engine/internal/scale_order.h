// Which series entries each search thread takes.
//
// Thread t of n takes entries t, t + n, t + 2n, ... of the order for n. The
// orders pair cheap (small) scales with expensive (large) ones on every thread
// so that the threads finish at about the same time.
#pragma once

#include <array>
#include <cstdint>

#include "engine/engine.h"

namespace pmk {

// Detection series (kDetectionScaleCount): index m stands for the scale
// m * 0.05 + 0.9 (0.9 .. 2.05). Pre-signing series (kPreSigningScaleCount):
// index m stands for m * 0.07 + 0.93 (0.93 .. 1.70).

// A permutation of 0..23 for n search threads.
std::array<std::int32_t, 24> ScaleOrder(int n) noexcept;
// A permutation of 0..11 for n search threads (the pre-signing series).
std::array<std::int32_t, 12> ScaleOrder12(int n) noexcept;

// The number of scales in the series of `mode`.
std::int32_t SeriesScaleCount(DetectionMode mode) noexcept;
// The order of `mode`'s series for n threads; the pre-signing series fills
// the first 12 entries.
std::array<std::int32_t, 24> SeriesScaleOrder(DetectionMode mode, int n) noexcept;

}  // namespace pmk
