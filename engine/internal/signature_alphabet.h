// The 6-bit signature alphabet shared by embedding and detection.
//
// a..z are 1..26, A..Z 27..52, 0..9 53..62; every other byte, including bytes
// of 128 and above, is 63. Symbol 0 marks the end of the text. Reading back
// turns 63 into '-', so any unsupported character comes back as a dash.
#pragma once

#include <cstdint>

namespace pmk {

inline constexpr std::uint8_t kOtherCharacterSymbol = 63;

std::uint8_t CharToSymbol(char c) noexcept;

// NUL for 0, '-' for 63; only the low 6 bits of `symbol` are looked at.
char SymbolToChar(std::uint8_t symbol) noexcept;

}  // namespace pmk
