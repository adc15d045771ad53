// The web layer's payload: the signature as ten 6-bit symbols, a 48-bit
// check, and the rate-1/2 convolutional code (constraint length 7, the
// 171/133 octal pair) that carries them, zero-terminated and decoded by a soft
// Viterbi search.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

namespace pmk::web {

inline constexpr int kSignatureBits = 60;  // ten symbols of the signature alphabet
inline constexpr int kCheckBits = 48;
inline constexpr int kInfoBits = kSignatureBits + kCheckBits;
inline constexpr int kCodeMemory = 6;
inline constexpr int kCodedBits = 2 * (kInfoBits + kCodeMemory);  // 228

using InfoBits = std::array<std::uint8_t, kInfoBits>;
using CodedBits = std::array<std::uint8_t, kCodedBits>;
// Per coded bit: > 0 leans to 1, < 0 to 0, the magnitude is the confidence.
using SoftBits = std::array<double, kCodedBits>;

// The signature's first ten characters (up to a NUL) as symbols, most
// significant bit first, followed by their check.
InfoBits InfoFromSignature(std::string_view signature) noexcept;

// The check of the first kSignatureBits bits: CRC-64/ECMA-182 (initial and
// final value all ones), its low 48 bits.
std::uint64_t CheckOf(const InfoBits& info) noexcept;

// True when the check bits agree with the signature bits.
bool CheckHolds(const InfoBits& info) noexcept;

// Writes the signature text the symbols spell into `text` (at least 11
// bytes, NUL-terminated) and returns its length, or -1 when the symbols do
// not spell a text a signing writes: a symbol after the end marker, or fewer
// than `shortest` characters.
int SignatureFromInfo(const InfoBits& info, int shortest, char* text) noexcept;

void Encode(const InfoBits& info, CodedBits& coded) noexcept;

// The information bits of the most likely zero-terminated code path.
void Decode(const SoftBits& soft, InfoBits& info) noexcept;

}  // namespace pmk::web
