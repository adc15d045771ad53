// How the 243 code bits of a payload are spread over the cells of a region.
//
// Cell n (n = 16 * row + column) carries code bit CellToCodeBit[n] for
// n = 0..242; cells 243..255 carry 0. Spreading the bits keeps a local blemish
// of the picture from hitting several bits of one codeword. Both tables are
// fixed forever: every signed picture depends on them.
#pragma once

#include <array>
#include <cstdint>

namespace pmk {

inline constexpr int kCodeBitCount = 243;

// Entry n is the code bit carried by cell n.
extern const std::array<std::uint16_t, kCodeBitCount> CellToCodeBit;
// The inverse: entry i is the cell that carries code bit i.
extern const std::array<std::uint16_t, kCodeBitCount> CodeBitToCell;

}  // namespace pmk
