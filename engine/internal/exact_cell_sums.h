// When a cell's sum does not depend on the order of its additions.
//
// A cell's value is a double sum of single-precision samples (p, 9 p), added
// one by one in the label map's order. Every addend is a whole multiple of
// the smallest unit of the smallest sample, and a double holds every whole
// multiple of that unit up to 2^53 units exactly. So when all the samples a
// cell may add stay below that many units in total, no addition ever rounds:
// the sum is the exact one, whatever the order, and adding p m times is
// adding m p once.
#pragma once

#include <cstdint>

#include "engine/internal/plane_view.h"

namespace pmk {

// True when every cell whose samples lie in the `width` x `height` block of
// `plane` from (left, top) on, and that adds at most `cell_pixels` pixels of
// it (each at most nine times), sums without rounding. A sample that is not a
// finite number gives false.
bool CellSumsAreExact(ConstFloatPlane plane, std::int32_t left, std::int32_t top,
                      std::int32_t width, std::int32_t height, std::int64_t cell_pixels) noexcept;

}  // namespace pmk
