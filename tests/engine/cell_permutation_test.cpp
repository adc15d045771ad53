#include "engine/internal/cell_permutation.h"

#include <gtest/gtest.h>

#include <array>

namespace pmk {
namespace {

TEST(CellPermutation, TablesAreInversePermutations) {
  std::array<int, 243> seen{};
  for (int n = 0; n < 243; ++n) {
    ASSERT_LT(CellToCodeBit[n], 243);
    ++seen[CellToCodeBit[n]];
    EXPECT_EQ(CodeBitToCell[CellToCodeBit[n]], n);
    EXPECT_EQ(CellToCodeBit[CodeBitToCell[n]], n);
  }
  for (int count : seen) EXPECT_EQ(count, 1);
}

TEST(CellPermutation, KnownEntries) {
  EXPECT_EQ(CellToCodeBit[0], 85);
  EXPECT_EQ(CellToCodeBit[242], 65);
  const std::array<std::uint16_t, 8> first = {224, 36, 2, 174, 201, 29, 101, 78};
  for (int i = 0; i < 8; ++i) EXPECT_EQ(CodeBitToCell[i], first[i]);
}

TEST(CellPermutation, ZeroCodeBitsLandInCells63_220_202) {
  EXPECT_EQ(CodeBitToCell[240], 63);
  EXPECT_EQ(CodeBitToCell[241], 220);
  EXPECT_EQ(CodeBitToCell[242], 202);
}

}  // namespace
}  // namespace pmk
