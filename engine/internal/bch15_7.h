// The binary BCH(15,7) code that protects each block of 7 payload bits.
//
// GF(16) from p(x) = 1 + x + x^4, generator g(x) = 1 + x^4 + x^6 + x^7 + x^8,
// systematic layout: element j holds the coefficient of x^j, so elements 0..7
// are the remainder and elements 8..14 are the data bits d0..d6. Up to two
// wrong bits per codeword are corrected.
#pragma once

#include <array>
#include <cstdint>

namespace pmk {

inline constexpr int kBchLength = 15;
inline constexpr int kBchDataBits = 7;
inline constexpr int kBchParityBits = 8;

// One bit (0 or 1) per element.
using BchCodeword = std::array<std::uint8_t, kBchLength>;

BchCodeword BchEncode15_7(const std::array<std::uint8_t, kBchDataBits>& data) noexcept;

// Corrects one or two wrong bits in place. A word with more errors is either
// left alone or miscorrected; the check symbols catch most of those.
void BchDecode15_7(BchCodeword& received) noexcept;

}  // namespace pmk
