#include "engine/internal/signature_alphabet.h"

#include <gtest/gtest.h>

#include <string>

namespace pmk {
namespace {

TEST(SignatureAlphabet, SupportedCharactersMapToTheirRanges) {
  EXPECT_EQ(CharToSymbol('a'), 1);
  EXPECT_EQ(CharToSymbol('z'), 26);
  EXPECT_EQ(CharToSymbol('A'), 27);
  EXPECT_EQ(CharToSymbol('Z'), 52);
  EXPECT_EQ(CharToSymbol('0'), 53);
  EXPECT_EQ(CharToSymbol('9'), 62);
}

TEST(SignatureAlphabet, EverySupportedCharacterRoundTrips) {
  const std::string supported = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
  ASSERT_EQ(supported.size(), 62u);
  for (std::size_t i = 0; i < supported.size(); ++i) {
    const std::uint8_t symbol = CharToSymbol(supported[i]);
    EXPECT_EQ(symbol, i + 1) << supported[i];
    EXPECT_EQ(SymbolToChar(symbol), supported[i]);
  }
}

TEST(SignatureAlphabet, EveryOtherByteIsSymbol63AndReadsBackAsDash) {
  int others = 0;
  for (int byte = 0; byte < 256; ++byte) {
    const char c = static_cast<char>(byte);
    const bool supported = (byte >= 'a' && byte <= 'z') || (byte >= 'A' && byte <= 'Z') ||
                           (byte >= '0' && byte <= '9');
    if (supported) continue;
    ++others;
    EXPECT_EQ(CharToSymbol(c), 63) << "byte " << byte;
    EXPECT_EQ(SymbolToChar(CharToSymbol(c)), '-') << "byte " << byte;
  }
  EXPECT_EQ(others, 256 - 62);
}

TEST(SignatureAlphabet, HighBytesAreNotNegativeSymbols) {
  // char is signed on this platform: 0xE9 must not wrap into the letter ranges.
  EXPECT_EQ(CharToSymbol(static_cast<char>(0xE9)), 63);
  EXPECT_EQ(CharToSymbol(static_cast<char>(0x80)), 63);
  EXPECT_EQ(CharToSymbol(static_cast<char>(0xFF)), 63);
}

TEST(SignatureAlphabet, SymbolZeroIsTheEndOfTheText) {
  EXPECT_EQ(SymbolToChar(0), '\0');
  EXPECT_EQ(SymbolToChar(63), '-');
}

}  // namespace
}  // namespace pmk
