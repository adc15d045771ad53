// The step a cell's measured value must take to land on the lattice point of
// its bit.
#pragma once

#include <cstdint>

namespace pmk {

// Correction that moves `value` (a filtered cell mean, in 8-bit pixel units)
// to the nearest bin centre of `bit` (1.5 mod 6 for bit 0, 4.5 mod 6 for bit
// 1), never to a target below 1.5 and, for values up to 250, never to one
// above the reach of 8-bit pixels. Ties go down for bit 1 and up for bit 0.
double LatticeCorrection(double value, std::uint8_t bit) noexcept;

}  // namespace pmk
