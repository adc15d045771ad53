// The 8 check symbols that guard the 10 signature symbols of a payload.
//
// Each of the 60 signature data bits toggles the three check bits named by
// its triple in CheckTriples; the 48 check bits are packed into 8 symbols of
// 6 bits, least significant bit first.
#pragma once

#include <array>
#include <cstdint>

#include "engine/engine.h"

namespace pmk {

using CheckTriple = std::array<std::uint8_t, 3>;

inline constexpr int kCheckTripleCount = 70;
inline constexpr int kCheckSymbolCount = 8;

// Fills the process-wide table once; safe to call from any thread, any number
// of times.
void BuildCheckTriples() noexcept;

// The process-wide table, built on first use if nobody built it yet.
const std::array<CheckTriple, kCheckTripleCount>& CheckTriples() noexcept;

std::array<std::uint8_t, kCheckSymbolCount> ComputeCheckSymbols(
    const std::array<std::uint8_t, kSignatureSymbolCount>& signature_symbols) noexcept;

}  // namespace pmk
