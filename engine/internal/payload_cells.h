// The payload of a signature, from text to the 256 cell bits of one region and
// back.
//
// The payload text is "signSIGN" followed by the signature and a NUL. Only its
// first 18 characters count: the 8 placeholders are replaced by check symbols,
// characters 8..17 are the signature (a longer signature is cut to 10). The 18
// symbols of 6 bits make 112 payload bits (the last 4 zero), 16 BCH(15,7)
// codewords make 240 code bits plus 3 zero bits, and CellToCodeBit spreads them
// over cells 0..242; cells 243..255 are 0.
#pragma once

#include <array>
#include <cstdint>

#include "engine/engine.h"
#include "engine/internal/mark.h"

namespace pmk {

inline constexpr int kCellCount = kGridCells;
inline constexpr int kPayloadSymbolCount = 18;
static_assert(kPayloadSignatureStart + kSignatureSymbolCount == kPayloadSymbolCount);

using CellBits = std::array<std::uint8_t, kCellCount>;

struct DecodedPayload {
  std::array<char, kPayloadSymbolCount + 1> text{};  // 18 characters and NUL
  bool consistent = false;                           // the check symbols agree
  bool valid = false;  // consistent with at least 6 signature characters
};

// The 18 symbols of a payload text, check symbols included. A null text reads
// as an empty one.
std::array<std::uint8_t, kPayloadSymbolCount> PayloadSymbols(const char* payload_text) noexcept;

// The bits to embed in every region, cell 0 first.
CellBits EncodePayloadCells(const char* payload_text) noexcept;

// Reads back the cells of one region; any nonzero cell bit counts as 1. The
// text is filled whatever the verdict.
DecodedPayload DecodePayloadCells(const CellBits& cell_bits) noexcept;

// The bit lattice of step 6: 1 when fmod(value, 6) >= 3, else 0. fmod keeps
// the sign of the value, so every negative value reads as 0.
std::uint8_t CellBitFromValue(double value) noexcept;

}  // namespace pmk
