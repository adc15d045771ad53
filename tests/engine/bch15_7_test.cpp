#include "engine/internal/bch15_7.h"

#include <gtest/gtest.h>

namespace pmk {
namespace {

std::array<std::uint8_t, 7> DataBits(int value) {
  std::array<std::uint8_t, 7> data{};
  for (int i = 0; i < 7; ++i) data[i] = (value >> i) & 1;
  return data;
}

int Distance(const BchCodeword& a, const BchCodeword& b) {
  int distance = 0;
  for (int j = 0; j < 15; ++j) distance += a[j] != b[j] ? 1 : 0;
  return distance;
}

TEST(BchEncode15_7, WorkedExamples) {
  EXPECT_EQ(BchEncode15_7({1, 0, 0, 0, 0, 0, 0}),
            (BchCodeword{1, 0, 0, 0, 1, 0, 1, 1, 1, 0, 0, 0, 0, 0, 0}));
  EXPECT_EQ(BchEncode15_7({0, 0, 0, 0, 0, 0, 1}),
            (BchCodeword{0, 0, 0, 1, 0, 1, 1, 1, 0, 0, 0, 0, 0, 0, 1}));
  EXPECT_EQ(BchEncode15_7({}), BchCodeword{});
}

TEST(BchEncode15_7, IsSystematicWithMinimumDistanceFive) {
  for (int value = 0; value < 128; ++value) {
    const BchCodeword codeword = BchEncode15_7(DataBits(value));
    for (int i = 0; i < 7; ++i) EXPECT_EQ(codeword[8 + i], (value >> i) & 1);
    for (int other = value + 1; other < 128; ++other) {
      EXPECT_GE(Distance(codeword, BchEncode15_7(DataBits(other))), 5) << value << " and " << other;
    }
  }
}

TEST(BchDecode15_7, LeavesEveryCodewordAlone) {
  for (int value = 0; value < 128; ++value) {
    const BchCodeword codeword = BchEncode15_7(DataBits(value));
    BchCodeword received = codeword;
    BchDecode15_7(received);
    EXPECT_EQ(received, codeword) << value;
  }
}

TEST(BchDecode15_7, CorrectsEverySingleAndDoubleError) {
  for (int value = 0; value < 128; ++value) {
    const BchCodeword codeword = BchEncode15_7(DataBits(value));
    for (int a = 0; a < 15; ++a) {
      BchCodeword single = codeword;
      single[a] ^= 1;
      BchDecode15_7(single);
      EXPECT_EQ(single, codeword) << "codeword " << value << ", bit " << a;
      for (int b = a + 1; b < 15; ++b) {
        BchCodeword pair = codeword;
        pair[a] ^= 1;
        pair[b] ^= 1;
        BchDecode15_7(pair);
        EXPECT_EQ(pair, codeword) << "codeword " << value << ", bits " << a << " " << b;
      }
    }
  }
}

TEST(BchDecode15_7, TripleErrorsChangeAtMostTwoBitsAndStayBinary) {
  // Three errors are beyond the code; the decoder must still return, flip no
  // more than two bits, and cannot land back on the sent word.
  for (int value = 0; value < 128; ++value) {
    const BchCodeword codeword = BchEncode15_7(DataBits(value));
    for (int a = 0; a < 15; ++a) {
      for (int b = a + 1; b < 15; ++b) {
        for (int c = b + 1; c < 15; ++c) {
          BchCodeword received = codeword;
          received[a] ^= 1;
          received[b] ^= 1;
          received[c] ^= 1;
          const BchCodeword before = received;
          BchDecode15_7(received);
          EXPECT_LE(Distance(received, before), 2);
          EXPECT_NE(received, codeword);
          for (const std::uint8_t bit : received) EXPECT_LE(bit, 1);
        }
      }
    }
  }
}

}  // namespace
}  // namespace pmk
