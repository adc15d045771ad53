#include <gtest/gtest.h>

#include <random>
#include <string>

#include "engine/engine.h"
#include "engine/internal/bch15_7.h"
#include "engine/internal/cell_permutation.h"
#include "engine/internal/payload_cells.h"

namespace pmk {
namespace {

using Symbols = std::array<std::uint8_t, 18>;

std::string Signature(const DecodedPayload& decoded) {
  return decoded.text.data() + 8;
}

DecodedPayload RoundTrip(const std::string& signature) {
  const std::string payload = "signSIGN" + signature;
  return DecodePayloadCells(EncodePayloadCells(payload.c_str()));
}

CellBits CellsFromString(const std::string& text) {
  CellBits cells{};
  for (std::size_t n = 0; n < cells.size(); ++n) cells[n] = text.at(n) == '1' ? 1 : 0;
  return cells;
}

// Worked by hand from the coding rules with polynomial division by g(x),
// independently of the shift register: pins the bit order of every stage.
constexpr char kAbcdefCells[] =
    "0011110110000000010100000001100100000000010010101010010111100000"
    "0100010100000000000000000000000001001100000010000110101001000110"
    "0101101001000010000001001100000000100000000100001010111000010000"
    "0100111100000000000010001010000000001000111001000000000000000000";

TEST(FormatPayload, PrefixAndAtMostTenSignatureCharacters) {
  EXPECT_STREQ(FormatPayload("abcdef").c_str(), "signSIGNabcdef");
  EXPECT_STREQ(FormatPayload("abcdefghijkl").c_str(), "signSIGNabcdefghij");
  EXPECT_EQ(FormatPayload(std::string(199, 'x')).c_str(), "signSIGN" + std::string(10, 'x'));
  EXPECT_STREQ(FormatPayload("").c_str(), "signSIGN");
}

TEST(PayloadSymbols, WorkedExamples) {
  EXPECT_EQ(PayloadSymbols("signSIGNabcdef"),
            (Symbols{7, 8, 12, 16, 20, 24, 0, 0, 1, 2, 3, 4, 5, 6, 0, 0, 0, 0}));
  EXPECT_EQ(PayloadSymbols("signSIGNABC-123xyz"),
            (Symbols{62, 23, 51, 61, 27, 31, 35, 35, 27, 28, 29, 63, 54, 55, 56, 24, 25, 26}));
  EXPECT_EQ(PayloadSymbols("signSIGNzzzzzz"),
            (Symbols{40, 41, 41, 41, 41, 41, 1, 0, 26, 26, 26, 26, 26, 26, 0, 0, 0, 0}));
}

TEST(PayloadSymbols, PlaceholdersNeverMatter) {
  EXPECT_EQ(PayloadSymbols("XXXXXXXXabcdef"), PayloadSymbols("signSIGNabcdef"));
  EXPECT_EQ(PayloadSymbols("12345678abcdef"), PayloadSymbols("signSIGNabcdef"));
}

TEST(PayloadSymbols, ShortAndMissingTexts) {
  // A text that ends inside the placeholders carries no signature at all.
  EXPECT_EQ(PayloadSymbols("sign"), Symbols{});
  EXPECT_EQ(PayloadSymbols(""), Symbols{});
  EXPECT_EQ(PayloadSymbols(nullptr), Symbols{});
}

TEST(EncodePayloadCells, MatchesTheCellsWorkedByHand) {
  EXPECT_EQ(EncodePayloadCells("signSIGNabcdef"), CellsFromString(kAbcdefCells));
}

TEST(EncodePayloadCells, UnusedCellsAreAlwaysZero) {
  for (const char* payload : {"signSIGNabcdef", "signSIGNABC-123xyz", "signSIGNzzzzzz",
                              "signSIGN9999999999", "signSIGNZZZZZZZZZZ"}) {
    const CellBits cells = EncodePayloadCells(payload);
    EXPECT_EQ(cells[63], 0) << payload;
    EXPECT_EQ(cells[220], 0) << payload;
    EXPECT_EQ(cells[202], 0) << payload;
    for (int n = 243; n < 256; ++n) EXPECT_EQ(cells[n], 0) << payload << " cell " << n;
    for (const std::uint8_t bit : cells) EXPECT_LE(bit, 1);
  }
}

TEST(EncodePayloadCells, EachCodewordSitsWhereThePermutationSays) {
  const CellBits cells = EncodePayloadCells("signSIGNABC-123xyz");
  const Symbols symbols = PayloadSymbols("signSIGNABC-123xyz");
  for (int k = 0; k < 16; ++k) {
    std::array<std::uint8_t, 7> data{};
    for (int i = 0; i < 7; ++i) {
      const int bit = 7 * k + i;
      data[i] = bit < 108 ? (symbols[bit / 6] >> (bit % 6)) & 1 : 0;
    }
    const BchCodeword codeword = BchEncode15_7(data);
    for (int j = 0; j < 15; ++j) {
      EXPECT_EQ(cells[CodeBitToCell[15 * k + j]], codeword[j]) << "codeword " << k << " bit " << j;
    }
  }
}

TEST(DecodePayloadCells, WorkedExamplesReadBack) {
  const DecodedPayload abcdef = RoundTrip("abcdef");
  EXPECT_TRUE(abcdef.consistent);
  EXPECT_TRUE(abcdef.valid);
  EXPECT_EQ(Signature(abcdef), "abcdef");
  // The check symbols 7, 8, 12, 16, 20, 24, 0, 0 as characters.
  EXPECT_EQ(std::string(abcdef.text.data(), 8), std::string("ghlptx\0\0", 8));
  EXPECT_EQ(abcdef.text[18], '\0');

  const DecodedPayload mixed = RoundTrip("ABC-123xyz");
  EXPECT_TRUE(mixed.valid);
  EXPECT_EQ(std::string(mixed.text.data()), "9wY8AEIIABC-123xyz");

  const DecodedPayload z = RoundTrip("zzzzzz");
  EXPECT_TRUE(z.valid);
  EXPECT_EQ(Signature(z), "zzzzzz");
}

TEST(DecodePayloadCells, UnsupportedCharactersComeBackAsDashes) {
  const DecodedPayload blank = RoundTrip("ab cdef");
  EXPECT_TRUE(blank.consistent);
  EXPECT_TRUE(blank.valid);
  EXPECT_EQ(Signature(blank), "ab-cdef");

  const DecodedPayload mixed = RoundTrip(
      "a_b\xE9"
      "cd");
  EXPECT_TRUE(mixed.valid);
  EXPECT_EQ(Signature(mixed), "a-b-cd");
}

TEST(DecodePayloadCells, LongSignatureReadsBackAsItsFirstTen) {
  const DecodedPayload decoded = RoundTrip("abcdefghijkl");
  EXPECT_TRUE(decoded.valid);
  EXPECT_EQ(Signature(decoded), "abcdefghij");
  EXPECT_EQ(EncodePayloadCells("signSIGNabcdefghijkl"), EncodePayloadCells("signSIGNabcdefghij"));
}

TEST(DecodePayloadCells, SignatureLengthDecidesValidity) {
  const DecodedPayload five = RoundTrip("abcde");
  EXPECT_TRUE(five.consistent);
  EXPECT_FALSE(five.valid);
  EXPECT_EQ(Signature(five), "abcde");

  const DecodedPayload six = RoundTrip("abcde-");
  EXPECT_TRUE(six.valid);

  const DecodedPayload empty = RoundTrip("");
  EXPECT_TRUE(empty.consistent);
  EXPECT_FALSE(empty.valid);
}

TEST(DecodePayloadCells, AllZeroCellsAreConsistentButRefused) {
  const DecodedPayload decoded = DecodePayloadCells(CellBits{});
  EXPECT_TRUE(decoded.consistent);
  EXPECT_FALSE(decoded.valid);
  for (const char c : decoded.text) EXPECT_EQ(c, '\0');
}

TEST(DecodePayloadCells, WrongCheckSymbolsAreRefused) {
  // Change one signature symbol and re-encode its codeword correctly, so the
  // BCH stage sees no error and only the check symbols can notice.
  CellBits cells = EncodePayloadCells("signSIGNabcdef");
  // Payload bit 48 is bit 0 of symbol 8 ('a'): block 6, data position 6.
  std::array<std::uint8_t, 7> data{};
  for (int i = 0; i < 7; ++i) data[i] = cells[CodeBitToCell[15 * 6 + 8 + i]];
  data[6] ^= 1;
  const BchCodeword codeword = BchEncode15_7(data);
  for (int j = 0; j < 15; ++j) cells[CodeBitToCell[15 * 6 + j]] = codeword[j];

  const DecodedPayload decoded = DecodePayloadCells(cells);
  EXPECT_FALSE(decoded.consistent);
  EXPECT_FALSE(decoded.valid);
  EXPECT_EQ(decoded.text[8], '\0');  // symbol 1 with its low bit cleared is 0
  EXPECT_EQ(std::string(decoded.text.data() + 9), "bcdef");
}

TEST(DecodePayloadCells, UnusedCellsAreIgnored) {
  CellBits cells = EncodePayloadCells("signSIGNabcdef");
  cells[63] = cells[220] = cells[202] = 1;
  for (int n = 243; n < 256; ++n) cells[n] = 1;
  const DecodedPayload decoded = DecodePayloadCells(cells);
  EXPECT_TRUE(decoded.valid);
  EXPECT_EQ(Signature(decoded), "abcdef");
}

std::string RandomSignature(std::mt19937& random) {
  static const std::string alphabet =
      "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789-";
  std::uniform_int_distribution<int> length(6, 10);
  std::uniform_int_distribution<int> pick(0, static_cast<int>(alphabet.size()) - 1);
  std::string signature(static_cast<std::size_t>(length(random)), ' ');
  for (char& c : signature) c = alphabet[pick(random)];
  return signature;
}

TEST(DecodePayloadCells, UpToTwoFlippedBitsPerCodewordDecodeUnchanged) {
  for (std::uint32_t seed = 1; seed <= 300; ++seed) {
    std::mt19937 random(seed);
    const std::string signature = RandomSignature(random);
    const std::string payload = "signSIGN" + signature;
    const CellBits clean = EncodePayloadCells(payload.c_str());
    const DecodedPayload expected = DecodePayloadCells(clean);
    ASSERT_TRUE(expected.valid) << signature;
    ASSERT_EQ(Signature(expected), signature);

    CellBits damaged = clean;
    std::uniform_int_distribution<int> flips(0, 2);
    std::uniform_int_distribution<int> position(0, 14);
    for (int k = 0; k < 16; ++k) {
      const int count = flips(random);
      const int first = position(random);
      int second = position(random);
      while (second == first) second = position(random);
      if (count >= 1) damaged[CodeBitToCell[15 * k + first]] ^= 1;
      if (count >= 2) damaged[CodeBitToCell[15 * k + second]] ^= 1;
    }
    const DecodedPayload decoded = DecodePayloadCells(damaged);
    EXPECT_TRUE(decoded.valid) << "seed " << seed;
    EXPECT_EQ(decoded.text, expected.text) << "seed " << seed;
  }
}

TEST(CellBitFromValue, LatticeOfStepSix) {
  EXPECT_EQ(CellBitFromValue(1.5), 0);
  EXPECT_EQ(CellBitFromValue(4.5), 1);
  EXPECT_EQ(CellBitFromValue(2.9999999), 0);
  EXPECT_EQ(CellBitFromValue(3.0), 1);
  EXPECT_EQ(CellBitFromValue(5.9999999), 1);
  EXPECT_EQ(CellBitFromValue(6.0), 0);
  EXPECT_EQ(CellBitFromValue(9.0), 1);
  EXPECT_EQ(CellBitFromValue(253.5), 0);
  EXPECT_EQ(CellBitFromValue(256.5), 1);
  EXPECT_EQ(CellBitFromValue(0.0), 0);
}

TEST(CellBitFromValue, NegativeValuesKeepTheSignOfTheRemainder) {
  // fmod(-1, 6) is -1, not 5; fmod(-2, 6) is -2, though -2 lies in a 1 bin
  // of a floored lattice.
  EXPECT_EQ(CellBitFromValue(-1.0), 0);
  EXPECT_EQ(CellBitFromValue(-2.0), 0);
  EXPECT_EQ(CellBitFromValue(-4.5), 0);
}

}  // namespace
}  // namespace pmk
