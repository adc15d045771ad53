#include "engine/internal/separable_filter.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <random>
#include <vector>

#include "support/pictures.h"

namespace pmk {
namespace {

using pmk::testing::RandomPlane;

// Direct 2-D form of a separable filter whose borders copy the nearest full
// output: every output is the full 2-D kernel applied at the position
// clamped into the region where the kernel fits, summed in double.
std::vector<double> DirectFilter(const std::vector<float>& in, int w, int h, const float* taps,
                                 int half) {
  std::vector<double> out(static_cast<std::size_t>(w) * h);
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      const int cx = std::clamp(x, half, w - 1 - half);
      const int cy = std::clamp(y, half, h - 1 - half);
      double sum = 0.0;
      for (int j = 0; j <= 2 * half; ++j) {
        for (int k = 0; k <= 2 * half; ++k) {
          sum += static_cast<double>(taps[j]) * taps[k] *
                 in[static_cast<std::size_t>(cy + j - half) * w + (cx + k - half)];
        }
      }
      out[static_cast<std::size_t>(y) * w + x] = sum;
    }
  }
  return out;
}

double Sum(const float* taps, int n) {
  double sum = 0.0;
  for (int i = 0; i < n; ++i) sum += taps[i];
  return sum;
}

TEST(KernelAdaptation, UpToTheThresholdTheCallersKernelIsUsedAsItIs) {
  // An asymmetric kernel shows that nothing is mirrored or normalised.
  const float odd7[7] = {1, 2, 3, 4, 5, 6, 7};
  const float odd5[5] = {1, 2, 3, 4, 5};
  for (double scale : {0.5, 1.0, 1.01}) {
    const auto k7 = AdaptKernel7(odd7, scale);
    const auto k5 = AdaptKernel5(odd5, scale);
    for (int i = 0; i < 7; ++i) EXPECT_EQ(k7[i], odd7[i]) << "scale " << scale;
    for (int i = 0; i < 5; ++i) EXPECT_EQ(k5[i], odd5[i]) << "scale " << scale;
  }
}

TEST(KernelAdaptation, AtTwoTheSevenTapKernelKeepsOnlyTheCentreAndTheInnerTaps) {
  // K(1) = 0.125 at distance 1, K(-1) = K(-3) = 0 beyond: 0.125, 0.3, 0.125
  // normalised by their sum 0.55.
  const auto k = AdaptKernel7(kLowPassKernel7.data(), 2.0);
  const float expected[7] = {0, 0, 0.125f / 0.55f, 0.3f / 0.55f, 0.125f / 0.55f, 0, 0};
  for (int i = 0; i < 7; ++i) EXPECT_NEAR(k[i], expected[i], 1e-6) << "tap " << i;
  EXPECT_NEAR(k[2], 0.2272727, 1e-6);
  EXPECT_NEAR(k[3], 0.5454545, 1e-6);
}

TEST(KernelAdaptation, BetweenTapsTheKernelIsInterpolatedAndFadesBelowTapZero) {
  // Scale 1.2, seven taps: positions 1.8, 0.6 and -0.6.
  //   K(1.8) = 0.175 * 0.8 + 0.125 * 0.2 = 0.165
  //   K(0.6) = 0.125 * 0.6 + 0.05 * 0.4 = 0.095
  //   K(-0.6) = 0.05 * 0.4 (tap 0 fading out) = 0.02
  const auto k = AdaptKernel7(kLowPassKernel7.data(), 1.2);
  const double sum = 2 * (0.02 + 0.095 + 0.165) + 0.3;
  const double expected[7] = {0.02, 0.095, 0.165, 0.3, 0.165, 0.095, 0.02};
  for (int i = 0; i < 7; ++i) EXPECT_NEAR(k[i], expected[i] / sum, 1e-6) << "tap " << i;
  EXPECT_NEAR(Sum(k.data(), 7), 1.0, 1e-6);

  // Scale 1.5, five taps: positions 0.5 and -1 (which gives 0).
  const auto k5 = AdaptKernel5(kSearchKernel5.data(), 1.5);
  const double expected5[5] = {0, 0.15 / 0.7, 0.4 / 0.7, 0.15 / 0.7, 0};
  for (int i = 0; i < 5; ++i) EXPECT_NEAR(k5[i], expected5[i], 1e-6) << "tap " << i;
}

TEST(KernelAdaptation, AdaptedKernelsAreSymmetricAndSumToOne) {
  for (double scale : {1.02, 1.3, 1.65, 2.05, 3.7}) {
    const auto k7 = AdaptKernel7(kLowPassKernel7.data(), scale);
    const auto k5 = AdaptKernel5(kSearchKernel5.data(), scale);
    for (int i = 0; i < 3; ++i) EXPECT_EQ(k7[i], k7[6 - i]) << "scale " << scale;
    for (int i = 0; i < 2; ++i) EXPECT_EQ(k5[i], k5[4 - i]) << "scale " << scale;
    EXPECT_NEAR(Sum(k7.data(), 7), 1.0, 1e-6) << "scale " << scale;
    EXPECT_NEAR(Sum(k5.data(), 5), 1.0, 1e-6) << "scale " << scale;
    EXPECT_GT(k7[3], k7[2]);
  }
}

struct FilterCase {
  int taps;
  int width;
  int height;
  double scale;
  bool asymmetric;
};

class SeparableFilterAgainstDirect : public ::testing::TestWithParam<FilterCase> {};

TEST_P(SeparableFilterAgainstDirect, MatchesTheTwoDimensionalComputationWithCopiedBorders) {
  const FilterCase c = GetParam();
  const std::vector<float> source = RandomPlane(c.width, c.height, 17u + c.width);
  std::vector<float> destination(source.size(), -1.0f);
  std::vector<float> scratch(source.size(), -1.0f);
  // An asymmetric kernel at scale 1 shows which way round the taps run and
  // that the second pass really works along columns.
  const float skewed7[7] = {0.4f, 0.05f, 0.1f, 0.2f, 0.0f, 0.15f, 0.1f};
  const float skewed5[5] = {0.5f, 0.0f, 0.2f, 0.1f, 0.2f};
  std::vector<float> applied(c.taps);
  if (c.taps == 7) {
    const float* kernel = c.asymmetric ? skewed7 : kLowPassKernel7.data();
    SeparableFilter7(destination.data(), source.data(), c.width, c.height, scratch.data(), kernel,
                     c.scale);
    const auto k = AdaptKernel7(kernel, c.scale);
    std::copy(k.begin(), k.end(), applied.begin());
  } else {
    const float* kernel = c.asymmetric ? skewed5 : kSearchKernel5.data();
    SeparableFilter5(destination.data(), source.data(), c.width, c.height, scratch.data(), kernel,
                     c.scale);
    const auto k = AdaptKernel5(kernel, c.scale);
    std::copy(k.begin(), k.end(), applied.begin());
  }
  const std::vector<double> expected =
      DirectFilter(source, c.width, c.height, applied.data(), c.taps / 2);
  // Single-precision sums of values up to 255: a few ulps of 255.
  for (int y = 0; y < c.height; ++y) {
    for (int x = 0; x < c.width; ++x) {
      const std::size_t i = static_cast<std::size_t>(y) * c.width + x;
      ASSERT_NEAR(destination[i], expected[i], 2e-4) << "at " << x << "," << y;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(
    Planes, SeparableFilterAgainstDirect,
    ::testing::Values(FilterCase{7, 13, 9, 1.0, false}, FilterCase{7, 9, 17, 1.0, true},
                      FilterCase{7, 7, 7, 1.0, true}, FilterCase{7, 21, 11, 1.7, false},
                      FilterCase{5, 11, 6, 1.0, true}, FilterCase{5, 5, 12, 1.0, false},
                      FilterCase{5, 16, 9, 2.05, false}));

TEST(SeparableFilter, FilteringInPlaceGivesTheSameSamplesAsIntoAnotherBuffer) {
  const int w = 23;
  const int h = 14;
  std::vector<float> plane = RandomPlane(w, h, 5);
  std::vector<float> apart(plane.size());
  std::vector<float> scratch(plane.size());
  SeparableFilter7(apart.data(), plane.data(), w, h, scratch.data(), kLowPassKernel7.data(), 1.3);
  SeparableFilter7(plane.data(), plane.data(), w, h, scratch.data(), kLowPassKernel7.data(), 1.3);
  EXPECT_EQ(plane, apart);

  std::vector<float> plane5 = RandomPlane(w, h, 6);
  SeparableFilter5(apart.data(), plane5.data(), w, h, scratch.data(), kSearchKernel5.data(), 1.0);
  SeparableFilter5(plane5.data(), plane5.data(), w, h, scratch.data(), kSearchKernel5.data(), 1.0);
  EXPECT_EQ(plane5, apart);
}

TEST(SeparableFilter, PlanesBelowTheKernelSizeAreLeftUnwritten) {
  struct Size {
    int w;
    int h;
  };
  for (const Size s : {Size{6, 20}, Size{20, 6}, Size{1, 1}, Size{0, 10}}) {
    const std::size_t n = static_cast<std::size_t>(std::max(s.w, 1)) * std::max(s.h, 1);
    const std::vector<float> source(n, 3.0f);
    std::vector<float> destination(n, -7.0f);
    std::vector<float> scratch(n, -9.0f);
    SeparableFilter7(destination.data(), source.data(), s.w, s.h, scratch.data(),
                     kLowPassKernel7.data(), 1.0);
    EXPECT_EQ(destination, std::vector<float>(n, -7.0f)) << s.w << "x" << s.h;
    EXPECT_EQ(scratch, std::vector<float>(n, -9.0f)) << s.w << "x" << s.h;
  }
  for (const Size s : {Size{4, 20}, Size{20, 4}}) {
    const std::size_t n = static_cast<std::size_t>(s.w) * s.h;
    const std::vector<float> source(n, 3.0f);
    std::vector<float> destination(n, -7.0f);
    std::vector<float> scratch(n, -9.0f);
    SeparableFilter5(destination.data(), source.data(), s.w, s.h, scratch.data(),
                     kSearchKernel5.data(), 1.0);
    EXPECT_EQ(destination, std::vector<float>(n, -7.0f)) << s.w << "x" << s.h;
  }
  // Six pixels are enough for the five-tap filter.
  std::vector<float> source(36, 3.0f);
  std::vector<float> destination(36, -7.0f);
  std::vector<float> scratch(36);
  SeparableFilter5(destination.data(), source.data(), 6, 6, scratch.data(), kSearchKernel5.data(),
                   1.0);
  for (float v : destination) EXPECT_NEAR(v, 3.0f, 1e-5);
}

}  // namespace
}  // namespace pmk
