// The engine's fast paths against plain reference versions of the same
// computations. Every comparison is exact: the fast code must perform the same
// floating-point operations in the same order, only arranged differently, so
// a signed picture reads back the same whichever version read it.
#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <cstring>
#include <random>
#include <vector>

#include "engine/separable_filter.h"

namespace pmk {
namespace {

std::vector<float> RandomPlane(std::int32_t width, std::int32_t height, std::uint32_t seed) {
  std::mt19937 random(seed);
  std::uniform_real_distribution<float> value(-20.0f, 270.0f);
  std::vector<float> plane(static_cast<std::size_t>(width) * height);
  for (float& v : plane) v = value(random);
  return plane;
}

// The filter as two passes with transposed output through a whole scratch plane.
template <std::size_t N>
std::vector<float> ReferenceFilter(const std::vector<float>& source, std::int32_t width,
                                   std::int32_t height, const float* kernel, double scale) {
  std::array<float, N> taps{};
  if constexpr (N == 7) {
    taps = AdaptKernel7(kernel, scale);
  } else {
    taps = AdaptKernel5(kernel, scale);
  }
  std::vector<float> scratch(source.size());
  std::vector<float> out(source.size());
  FilterPassTransposed(scratch.data(), source.data(), width, height, taps.data(), N / 2);
  FilterPassTransposed(out.data(), scratch.data(), height, width, taps.data(), N / 2);
  return out;
}

void ExpectSameFloats(const std::vector<float>& actual, const std::vector<float>& expected) {
  ASSERT_EQ(actual.size(), expected.size());
  for (std::size_t i = 0; i < expected.size(); ++i) {
    // Bit patterns, so that even the sign of a zero must agree.
    std::uint32_t a = 0;
    std::uint32_t e = 0;
    std::memcpy(&a, &actual[i], 4);
    std::memcpy(&e, &expected[i], 4);
    ASSERT_EQ(a, e) << "sample " << i << ": " << actual[i] << " vs " << expected[i];
  }
}

struct FilterCase {
  std::int32_t width;
  std::int32_t height;
  double scale;
};

// Sizes at the minimum, around the eight-lane blocks, and tall and wide.
constexpr FilterCase kFilterCases[] = {
    {7, 7, 1.0},  {8, 9, 1.0},   {15, 7, 1.5},    {16, 16, 2.05}, {17, 31, 1.0},  {23, 8, 1.3},
    {64, 9, 2.0}, {9, 64, 1.01}, {101, 77, 1.75}, {333, 41, 1.0}, {40, 333, 2.05}};

TEST(FastSeparableFilter, SevenTapsMatchTwoTransposedPassesExactly) {
  for (const FilterCase& c : kFilterCases) {
    SCOPED_TRACE(testing::Message() << c.width << "x" << c.height << " at " << c.scale);
    const std::vector<float> source = RandomPlane(c.width, c.height, 7u + c.width);
    const std::vector<float> expected =
        ReferenceFilter<7>(source, c.width, c.height, kSearchKernel7.data(), c.scale);
    std::vector<float> out(source.size());
    std::vector<float> ring(FilterScratchFloats(c.width, 7));
    SeparableFilter7(out.data(), source.data(), c.width, c.height, ring.data(),
                     kSearchKernel7.data(), c.scale);
    ExpectSameFloats(out, expected);
  }
}

TEST(FastSeparableFilter, FiveTapsMatchTwoTransposedPassesExactly) {
  for (const FilterCase& c : kFilterCases) {
    SCOPED_TRACE(testing::Message() << c.width << "x" << c.height << " at " << c.scale);
    const std::vector<float> source = RandomPlane(c.width, c.height, 11u + c.height);
    const std::vector<float> expected =
        ReferenceFilter<5>(source, c.width, c.height, kSearchKernel5.data(), c.scale);
    std::vector<float> out(source.size());
    std::vector<float> ring(FilterScratchFloats(c.width, 5));
    SeparableFilter5(out.data(), source.data(), c.width, c.height, ring.data(),
                     kSearchKernel5.data(), c.scale);
    ExpectSameFloats(out, expected);
  }
}

TEST(FastSeparableFilter, InPlaceGivesTheSameAsIntoAnotherPlane) {
  // The ring holds every row still needed, so overwriting the source row by
  // row must not change a single output.
  const std::int32_t width = 45;
  const std::int32_t height = 38;
  std::vector<float> plane = RandomPlane(width, height, 3);
  const std::vector<float> expected =
      ReferenceFilter<7>(plane, width, height, kSearchKernel7.data(), 1.4);
  std::vector<float> ring(FilterScratchFloats(width, 7));
  SeparableFilter7(plane.data(), plane.data(), width, height, ring.data(), kSearchKernel7.data(),
                   1.4);
  ExpectSameFloats(plane, expected);

  std::vector<float> small = RandomPlane(width, height, 4);
  const std::vector<float> expected5 =
      ReferenceFilter<5>(small, width, height, kSearchKernel5.data(), 1.0);
  SeparableFilter5(small.data(), small.data(), width, height, ring.data(), kSearchKernel5.data(),
                   1.0);
  ExpectSameFloats(small, expected5);
}

TEST(FastSeparableFilter, TooSmallPlanesAreLeftUnwritten) {
  std::vector<float> source = RandomPlane(6, 20, 5);
  std::vector<float> out(source.size(), -1.0f);
  std::vector<float> ring(FilterScratchFloats(6, 7));
  SeparableFilter7(out.data(), source.data(), 6, 20, ring.data(), kSearchKernel7.data(), 1.0);
  for (const float v : out) ASSERT_EQ(v, -1.0f);
  SeparableFilter5(out.data(), source.data(), 20, 4, ring.data(), kSearchKernel5.data(), 1.0);
  for (const float v : out) ASSERT_EQ(v, -1.0f);
}

}  // namespace
}  // namespace pmk
