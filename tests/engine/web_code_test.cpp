// The web layer's payload coding: the signature's symbols and their check,
// and the convolutional code decoded from soft bits.
#include "engine/internal/web_code.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace pmk::web {
namespace {

SoftBits Clean(const CodedBits& coded) {
  SoftBits soft;
  for (std::size_t k = 0; k < soft.size(); ++k) soft[k] = coded[k] != 0 ? 1.0 : -1.0;
  return soft;
}

TEST(WebCodeTest, SignatureSymbolsComeBackAsTheAlphabetSpellsThem) {
  const struct {
    const char* signed_text;
    int shortest;
    const char* read;  // null: not a signature
  } cases[] = {
      {"abcdef", 6, "abcdef"},
      {"Photo-42xy", 6, "Photo-42xy"},
      {"Photo-42xyTOOLONG", 6, "Photo-42xy"},  // ten symbols at most
      {"caf\xc3\xa9!!", 6, "caf----"},         // any other byte reads as a dash
      {"abc", 6, nullptr},                     // shorter than a signing allows
      {"abc", 3, "abc"},
      {"", 0, ""},
  };
  for (const auto& c : cases) {
    const InfoBits info = InfoFromSignature(c.signed_text);
    EXPECT_TRUE(CheckHolds(info)) << c.signed_text;
    char text[16];
    const int length = SignatureFromInfo(info, c.shortest, text);
    if (c.read == nullptr) {
      EXPECT_EQ(length, -1) << c.signed_text;
    } else {
      EXPECT_EQ(length, static_cast<int>(std::string(c.read).size())) << c.signed_text;
      EXPECT_STREQ(text, c.read);
    }
  }
}

TEST(WebCodeTest, EverySingleFlippedBitBreaksTheCheckAndSymbolsAfterTheEndAreRefused) {
  const InfoBits info = InfoFromSignature("web-check");
  for (std::size_t i = 0; i < info.size(); ++i) {
    InfoBits changed = info;
    changed[i] ^= 1u;
    EXPECT_FALSE(CheckHolds(changed)) << i;
  }
  InfoBits gap = InfoFromSignature("abcdef");
  gap[kSignatureBits - 1] = 1;  // a symbol after the end marker
  char text[16];
  EXPECT_EQ(SignatureFromInfo(gap, 6, text), -1);
}

TEST(WebCodeTest, ViterbiMendsScatteredErrorsAndErasures) {
  const InfoBits info = InfoFromSignature("Viterbi-01");
  CodedBits coded;
  Encode(info, coded);
  const struct {
    const char* what;
    std::vector<int> flipped;  // hard errors at full confidence
    int erase_every;           // soft value 0 at every n-th bit (0: none)
    bool mended;
  } cases[] = {
      {"clean", {}, 0, true},
      {"five scattered errors", {3, 50, 101, 160, 220}, 0, true},
      {"two adjacent errors", {80, 81}, 0, true},
      {"every fourth bit erased", {}, 4, true},
      {"a burst of 24 errors",
       {100, 101, 102, 103, 104, 105, 106, 107, 108, 109, 110, 111,
        112, 113, 114, 115, 116, 117, 118, 119, 120, 121, 122, 123},
       0,
       false},
  };
  for (const auto& c : cases) {
    SoftBits soft = Clean(coded);
    for (const int k : c.flipped) soft[static_cast<std::size_t>(k)] *= -1.0;
    if (c.erase_every > 0) {
      for (std::size_t k = 0; k < soft.size(); k += static_cast<std::size_t>(c.erase_every)) {
        soft[k] = 0.0;
      }
    }
    InfoBits decoded;
    Decode(soft, decoded);
    EXPECT_EQ(decoded == info, c.mended) << c.what;
    // A burst the code cannot mend must not pass the check either.
    if (!c.mended) {
      EXPECT_FALSE(CheckHolds(decoded)) << c.what;
    }
  }
}

TEST(WebCodeTest, EncodingIsTheStandardRateHalfCode) {
  // A single one followed by zeros gives the generators' own bits (171, 133
  // octal, read from the newest register place).
  InfoBits info{};
  info[0] = 1;
  CodedBits coded;
  Encode(info, coded);
  const int first[7] = {1, 1, 1, 1, 0, 0, 1};   // 171 octal, newest bit first
  const int second[7] = {1, 0, 1, 1, 0, 1, 1};  // 133 octal
  for (int t = 0; t < 7; ++t) {
    EXPECT_EQ(coded[static_cast<std::size_t>(2 * t)], first[6 - t] == 1 ? 1 : 0) << t;
    EXPECT_EQ(coded[static_cast<std::size_t>(2 * t + 1)], second[6 - t] == 1 ? 1 : 0) << t;
  }
  for (std::size_t k = 14; k < coded.size(); ++k) EXPECT_EQ(coded[k], 0) << k;
}

}  // namespace
}  // namespace pmk::web
