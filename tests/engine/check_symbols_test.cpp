#include "engine/internal/check_symbols.h"

#include <gtest/gtest.h>

#include <random>
#include <thread>
#include <vector>

namespace pmk {
namespace {

TEST(CheckTriples, HaveTheStatedShape) {
  const auto& triples = CheckTriples();
  for (int i = 0; i <= 45; ++i) {
    EXPECT_EQ(triples[i], (CheckTriple{0, 1, static_cast<std::uint8_t>(i + 2)})) << "triple " << i;
  }
  EXPECT_EQ(triples[46], (CheckTriple{0, 1, 0}));
  for (int i = 47; i < 70; ++i) {
    EXPECT_EQ(triples[i], (CheckTriple{0, 2, static_cast<std::uint8_t>(i - 44)})) << "triple " << i;
  }
}

TEST(CheckTriples, BuildingAgainOrFromManyThreadsGivesTheSameTable) {
  const auto before = CheckTriples();
  std::vector<std::thread> threads;
  std::vector<CheckTriple> last(8);
  for (int t = 0; t < 8; ++t) {
    threads.emplace_back([t, &last] {
      BuildCheckTriples();
      last[t] = CheckTriples()[69];
    });
  }
  for (auto& thread : threads) thread.join();
  for (const CheckTriple& triple : last) EXPECT_EQ(triple, (CheckTriple{0, 2, 25}));
  EXPECT_EQ(CheckTriples(), before);
  EXPECT_EQ(&CheckTriples(), &CheckTriples());
}

std::array<std::uint8_t, 10> SymbolsWithDataBit(int bit) {
  std::array<std::uint8_t, 10> symbols{};
  symbols[bit / 6] = static_cast<std::uint8_t>(1 << (bit % 6));
  return symbols;
}

TEST(ComputeCheckSymbols, NoSignatureGivesNoChecks) {
  EXPECT_EQ(ComputeCheckSymbols({}), (std::array<std::uint8_t, 8>{}));
}

TEST(ComputeCheckSymbols, FirstDataBitTogglesCheckBitsZeroOneTwo) {
  // Triple (0, 1, 2): bits 0..2 of check symbol 0.
  EXPECT_EQ(ComputeCheckSymbols(SymbolsWithDataBit(0)),
            (std::array<std::uint8_t, 8>{7, 0, 0, 0, 0, 0, 0, 0}));
}

TEST(ComputeCheckSymbols, RepeatedMemberTogglesTwice) {
  // Triple 46 is (0, 1, 0): check bit 0 is toggled twice, so only bit 1 is set.
  EXPECT_EQ(ComputeCheckSymbols(SymbolsWithDataBit(46)),
            (std::array<std::uint8_t, 8>{2, 0, 0, 0, 0, 0, 0, 0}));
}

TEST(ComputeCheckSymbols, LastCheckBitComesFromDataBit45) {
  // Triple 45 is (0, 1, 47): check bit 47 is bit 5 of check symbol 7.
  EXPECT_EQ(ComputeCheckSymbols(SymbolsWithDataBit(45)),
            (std::array<std::uint8_t, 8>{3, 0, 0, 0, 0, 0, 0, 32}));
}

TEST(ComputeCheckSymbols, IsLinearOverXor) {
  std::mt19937 random(12345);
  std::uniform_int_distribution<int> symbol(0, 63);
  for (int round = 0; round < 200; ++round) {
    std::array<std::uint8_t, 10> a{};
    std::array<std::uint8_t, 10> b{};
    std::array<std::uint8_t, 10> sum{};
    for (int i = 0; i < 10; ++i) {
      a[i] = static_cast<std::uint8_t>(symbol(random));
      b[i] = static_cast<std::uint8_t>(symbol(random));
      sum[i] = a[i] ^ b[i];
    }
    const auto check_a = ComputeCheckSymbols(a);
    const auto check_b = ComputeCheckSymbols(b);
    const auto check_sum = ComputeCheckSymbols(sum);
    for (int i = 0; i < 8; ++i) {
      EXPECT_EQ(check_sum[i], check_a[i] ^ check_b[i]);
      EXPECT_LT(check_a[i], 64);
    }
  }
}

}  // namespace
}  // namespace pmk
