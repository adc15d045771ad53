#include "engine/internal/lattice_correction.h"

#include <gtest/gtest.h>

#include <cmath>

namespace pmk {
namespace {

struct Example {
  double value;
  std::uint8_t bit;
  double correction;
};

TEST(LatticeCorrectionTest, WorkedExamples) {
  const Example examples[] = {
      {1.5, 0, 0.0},     // already on a bit-0 centre
      {1.0, 1, 3.5},     // below 6 only the upward bit-1 centre exists
      {7.0, 1, -2.5},    // 4.5 is nearer than 10.5
      {7.5, 1, -3.0},    // tie between 4.5 and 10.5 goes down
      {10.5, 0, 3.0},    // tie between 7.5 and 13.5 goes up
      {250.0, 0, -2.5},  // 247.5 is nearer than 253.5
      {251.0, 0, -3.5},  // above 250 only the downward centre is used
      {251.9, 0, -4.4}, {4.5, 1, 0.0},
      {3.0, 0, -1.5},  // 3 already reads as bit 1; 1.5 is nearer than 7.5
      {2.9, 1, 1.6},    {0.0, 0, 1.5},
  };
  for (const Example& e : examples) {
    EXPECT_NEAR(LatticeCorrection(e.value, e.bit), e.correction, 1e-9)
        << "value " << e.value << " bit " << int(e.bit);
  }
}

// Whatever the starting value in the carrier's reach, the target is a centre
// of the requested bit, at most 4.5 levels away, and inside 1.5..254.5.
TEST(LatticeCorrectionTest, TargetsAreCentresOfTheBitWithinRange) {
  for (int step = 0; step <= 2535; ++step) {
    const double value = step * 0.1;
    for (std::uint8_t bit = 0; bit <= 1; ++bit) {
      const double delta = LatticeCorrection(value, bit);
      const double target = value + delta;
      EXPECT_GE(target, 1.5 - 1e-9) << value;
      EXPECT_LE(target, 254.5 + 1e-9) << value;
      EXPECT_LE(std::fabs(delta), 4.5) << value;
      const double centre = bit == 0 ? 1.5 : 4.5;
      const double offset = std::fmod(target - centre, 6.0);
      EXPECT_TRUE(std::fabs(offset) < 1e-9 || std::fabs(offset - 6.0) < 1e-9)
          << "value " << value << " bit " << int(bit) << " target " << target;
    }
  }
}

}  // namespace
}  // namespace pmk
