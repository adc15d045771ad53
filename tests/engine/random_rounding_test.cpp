#include "engine/internal/random_rounding.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <cstring>

namespace pmk {
namespace {

// Reference outputs of MT19937 with the linear-fill seeding, computed once by
// an independent implementation.
TEST(Mt19937Test, MatchesReferenceOutputsOfLinearFillSeeding) {
  Mt19937 from_4357(4357);
  const std::uint32_t expected_4357[] = {3510405877u, 4290933890u, 2191955339u, 564929546u,
                                         152112058u};
  for (std::uint32_t value : expected_4357) EXPECT_EQ(from_4357.Next(), value);

  Mt19937 from_5489(5489);
  const std::uint32_t expected_5489[] = {876359936u, 1965004871u, 1393879085u, 653892275u,
                                         2860206579u};
  for (std::uint32_t value : expected_5489) EXPECT_EQ(from_5489.Next(), value);
}

TEST(Mt19937Test, MatchesReferenceAcrossStateRegeneration) {
  Mt19937 generator(4357);
  std::uint32_t outputs[1000];
  for (std::uint32_t& value : outputs) value = generator.Next();
  EXPECT_EQ(outputs[623], 730882493u);
  EXPECT_EQ(outputs[624], 2222118351u);
  EXPECT_EQ(outputs[999], 1309179303u);
}

TEST(ClockSeedTest, IsAlwaysOdd) {
  for (int i = 0; i < 8; ++i) EXPECT_EQ(ClockSeed() & 1u, 1u);
}

// A one-channel plane and a 16-bit label map of the same size.
struct Region {
  ImageRecord plane;
  ImageRecord labels;

  Region(std::int32_t width, std::int32_t height, std::uint8_t value) {
    EXPECT_EQ(plane.Allocate(width, height, 1, 8), kResultOk);
    EXPECT_EQ(labels.Allocate(width, height, 1, 16), kResultOk);
    std::memset(plane.data(), value, static_cast<std::size_t>(plane.size()));
    std::memset(labels.data(), 0, static_cast<std::size_t>(labels.size()));
  }
  std::uint8_t& Pixel(std::int32_t x, std::int32_t y) { return plane.Row<std::uint8_t>(y)[x]; }
  std::uint16_t& Label(std::int32_t x, std::int32_t y) { return labels.Row<std::uint16_t>(y)[x]; }
};

struct StepCounts {
  int steps[7] = {};  // steps -3..3
  int total = 0;
};

// Gives every pixel of a 100 x 100 region of value 100 to cell 5 (ring and
// inner labels alternating), applies `delta` to that cell and counts the steps.
StepCounts StepsForCorrection(double delta, std::uint32_t seed) {
  Region region(100, 100, 100);
  for (std::int32_t y = 0; y < 100; ++y) {
    for (std::int32_t x = 0; x < 100; ++x) region.Label(x, y) = (x + y) % 2 == 0 ? 11 : 12;
  }
  std::array<double, 256> corrections{};
  corrections[5] = delta;
  Mt19937 generator(seed);
  ApplyCorrections(region.plane, region.labels, corrections, generator);
  StepCounts counts;
  for (std::int32_t y = 0; y < 100; ++y) {
    for (std::int32_t x = 0; x < 100; ++x) {
      const int step = region.Pixel(x, y) - 100;
      if (step >= -3 && step <= 3) ++counts.steps[step + 3];
      ++counts.total;
    }
  }
  return counts;
}

TEST(ApplyCorrectionsTest, PositiveCorrectionMovesByOneOrTwo) {
  const StepCounts counts = StepsForCorrection(1.37, 12345);
  EXPECT_EQ(counts.steps[1 + 3] + counts.steps[2 + 3], counts.total);
  const double share_of_two = static_cast<double>(counts.steps[2 + 3]) / counts.total;
  EXPECT_NEAR(share_of_two, 0.37, 0.03);
}

TEST(ApplyCorrectionsTest, NegativeCorrectionMovesByZeroOrMinusOne) {
  const StepCounts counts = StepsForCorrection(-0.4, 777);
  EXPECT_EQ(counts.steps[0 + 3] + counts.steps[-1 + 3], counts.total);
  const double share_of_minus_one = static_cast<double>(counts.steps[-1 + 3]) / counts.total;
  EXPECT_NEAR(share_of_minus_one, 0.40, 0.03);
}

TEST(ApplyCorrectionsTest, WholeCorrectionsMoveEveryPixelByExactlyThatMuch) {
  EXPECT_EQ(StepsForCorrection(2.0, 1).steps[2 + 3], 10000);
  EXPECT_EQ(StepsForCorrection(-3.0, 1).steps[-3 + 3], 10000);
}

TEST(ApplyCorrectionsTest, TinyCorrectionChangesNothingAndDrawsNothing) {
  for (double delta : {0.015, -0.019}) {
    const StepCounts counts = StepsForCorrection(delta, 99);
    EXPECT_EQ(counts.steps[0 + 3], counts.total) << delta;
  }

  // Drawing is observable on the generator: nothing was taken from it.
  Region region(10, 10, 50);
  for (std::int32_t y = 0; y < 10; ++y) {
    for (std::int32_t x = 0; x < 10; ++x) region.Label(x, y) = 1;
  }
  std::array<double, 256> corrections{};
  corrections[0] = 0.015;
  Mt19937 generator(4357);
  ApplyCorrections(region.plane, region.labels, corrections, generator);
  EXPECT_EQ(generator.Next(), 3510405877u);
}

// Pixels of a cell with a tiny correction sit between pixels of a cell with a
// real one: only the latter draw, one number each, in row order.
TEST(ApplyCorrectionsTest, OnlyPixelsOfActiveCellsDrawNumbers) {
  Region region(8, 4, 100);
  int active_pixels = 0;
  for (std::int32_t y = 0; y < 4; ++y) {
    for (std::int32_t x = 0; x < 8; ++x) {
      const bool active = (x * 3 + y) % 4 == 0;
      region.Label(x, y) = active ? 2 * 7 + 2 : 2 * 9 + 1;  // cells 7 and 9
      active_pixels += active ? 1 : 0;
    }
  }
  std::array<double, 256> corrections{};
  corrections[7] = 0.5;
  corrections[9] = 0.01;
  Mt19937 generator(5489);
  ApplyCorrections(region.plane, region.labels, corrections, generator);

  Mt19937 reference(5489);
  for (int i = 0; i < active_pixels; ++i) reference.Next();
  EXPECT_EQ(generator.Next(), reference.Next());
  for (std::int32_t y = 0; y < 4; ++y) {
    for (std::int32_t x = 0; x < 8; ++x) {
      if (region.Label(x, y) == 2 * 9 + 1) {
        EXPECT_EQ(region.Pixel(x, y), 100);
      }
    }
  }
}

TEST(ApplyCorrectionsTest, UnlabelledPixelsStayAndLabelsMapToCells) {
  Region region(4, 1, 100);
  region.Label(0, 0) = 0;    // no cell
  region.Label(1, 0) = 1;    // ring of cell 0
  region.Label(2, 0) = 2;    // inner of cell 0
  region.Label(3, 0) = 512;  // inner of cell 255
  std::array<double, 256> corrections{};
  corrections[0] = 3.0;
  corrections[255] = -2.0;
  Mt19937 generator(1);
  ApplyCorrections(region.plane, region.labels, corrections, generator);
  EXPECT_EQ(region.Pixel(0, 0), 100);
  EXPECT_EQ(region.Pixel(1, 0), 103);
  EXPECT_EQ(region.Pixel(2, 0), 103);
  EXPECT_EQ(region.Pixel(3, 0), 98);
}

TEST(ApplyCorrectionsTest, ResultsAreClampedToByteRange) {
  Region region(2, 1, 0);
  region.Pixel(0, 0) = 254;
  region.Pixel(1, 0) = 1;
  region.Label(0, 0) = 1;  // cell 0
  region.Label(1, 0) = 3;  // cell 1
  std::array<double, 256> corrections{};
  corrections[0] = 3.0;
  corrections[1] = -3.0;
  Mt19937 generator(1);
  ApplyCorrections(region.plane, region.labels, corrections, generator);
  EXPECT_EQ(region.Pixel(0, 0), 255);
  EXPECT_EQ(region.Pixel(1, 0), 0);
}

}  // namespace
}  // namespace pmk
