#include "engine/internal/corner_finder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <vector>

#include "engine/internal/separable_filter.h"
#include "image/checked_allocation.h"
#include "image/image_record.h"
#include "support/pictures.h"

namespace pmk {
namespace {

using testing::FillRect;
using testing::MakePlane;

// ---- Tiles -------------------------------------------------------------

TEST(TileLayout, FollowsTheTargetOfFiveHundredPixels) {
  const TileLayout square = ComputeTileLayout(1000, 1000);
  EXPECT_EQ(square.columns, 2);
  EXPECT_EQ(square.rows, 2);
  EXPECT_EQ(square.tile_width, 500);
  EXPECT_EQ(square.tile_height, 500);

  const TileLayout wide = ComputeTileLayout(1001, 500);
  EXPECT_EQ(wide.columns, 3);
  EXPECT_EQ(wide.tile_width, 334);
  EXPECT_EQ(wide.rows, 1);
  EXPECT_EQ(wide.tile_height, 500);

  const TileLayout tall = ComputeTileLayout(7, 1501);
  EXPECT_EQ(tall.columns, 1);
  EXPECT_EQ(tall.tile_width, 7);
  EXPECT_EQ(tall.rows, 4);
  EXPECT_EQ(tall.tile_height, 376);
}

// ---- Selection rules ---------------------------------------------------

TEST(SelectCorners, DropsCornersWithinTenPixelsOfAnEdge) {
  // 100 x 80 area: x = 10 and x = 90 (100 - 90 = 10) stay, 9.99 and 90.01 go.
  Corner corners[] = {{9.99, 40, 90}, {10.0, 20, 80}, {90.0, 40, 70}, {90.01, 60, 60},
                      {50, 9.99, 50}, {50, 10.0, 40}, {30, 70.0, 30}, {70, 70.01, 20}};
  const std::uint32_t kept = SelectCorners(corners, 8, 100, 80, 50);
  ASSERT_EQ(kept, 4u);
  EXPECT_EQ(corners[0].x, 10.0);
  EXPECT_EQ(corners[1].x, 90.0);
  EXPECT_EQ(corners[2].y, 10.0);
  EXPECT_EQ(corners[3].y, 70.0);
}

TEST(SelectCorners, ACornerCloserThanTheMinimumDistanceToAStrongerOneIsDropped) {
  // Squared distance 9: only the stronger stays, whatever the input order.
  Corner near[] = {{53, 50, 10}, {50, 50, 20}};
  ASSERT_EQ(SelectCorners(near, 2, 200, 200, 50), 1u);
  EXPECT_EQ(near[0].x, 50.0);
  EXPECT_EQ(near[0].response, 20.0f);

  // Squared distance 10: both stay, strongest first.
  Corner apart[] = {{53, 51, 10}, {50, 50, 20}};
  ASSERT_EQ(SelectCorners(apart, 2, 200, 200, 50), 2u);
  EXPECT_EQ(apart[0].response, 20.0f);
  EXPECT_EQ(apart[1].response, 10.0f);

  // A dropped corner does not shadow weaker ones: the third is 2 pixels from
  // the dropped second but 4 from the first.
  Corner chain[] = {{50, 50, 30}, {52, 50, 20}, {54, 50, 10}};
  ASSERT_EQ(SelectCorners(chain, 3, 200, 200, 50), 2u);
  EXPECT_EQ(chain[1].x, 54.0);
}

TEST(SelectCorners, KeepsAtMostTheLimitTheStrongestFirst) {
  std::vector<Corner> corners;
  for (int i = 0; i < 60; ++i) {
    corners.push_back({20.0 + 10.0 * (i % 10), 20.0 + 10.0 * (i / 10), static_cast<float>(i)});
  }
  ASSERT_EQ(SelectCorners(corners.data(), 60, 200, 200, 50), 50u);
  for (int i = 0; i < 50; ++i) EXPECT_EQ(corners[i].response, static_cast<float>(59 - i));
}

// ---- Peak refinement ---------------------------------------------------

// The biquadratic through nine values, evaluated with Lagrange polynomials.
double Lagrange(int i, double t) {
  switch (i) {
    case 0:
      return (t - 1) * (t - 2) / 2;
    case 1:
      return -t * (t - 2);
    default:
      return t * (t - 1) / 2;
  }
}

double Interpolant(const float (&v)[3][3], double a, double b) {
  double sum = 0;
  for (int j = 0; j < 3; ++j) {
    for (int i = 0; i < 3; ++i) sum += v[j][i] * Lagrange(i, a) * Lagrange(j, b);
  }
  return sum;
}

// The vertex of the parabola through f(0), f(1), f(2), or `previous` when flat.
double Vertex(double f0, double f1, double f2, double previous) {
  const double curvature = f0 - 2 * f1 + f2;
  if (curvature == 0) return previous;
  return 0.5 * (f0 - f2) / curvature + 1.0;
}

PeakFit ReferenceRefine(const float (&v)[3][3]) {
  const auto along_a = [&](double b, double previous) {
    return Vertex(Interpolant(v, 0, b), Interpolant(v, 1, b), Interpolant(v, 2, b), previous);
  };
  const auto along_b = [&](double a, double previous) {
    return Vertex(Interpolant(v, a, 0), Interpolant(v, a, 1), Interpolant(v, a, 2), previous);
  };
  double a = along_a(1, 1);
  double b = along_b(a, 1);
  a = along_a(b, a);
  b = along_b(a, b);
  PeakFit fit;
  fit.a = std::clamp(a, 0.0, 2.0);
  fit.b = std::clamp(b, 0.0, 2.0);
  fit.response = static_cast<float>(Interpolant(v, fit.a, fit.b));
  return fit;
}

TEST(RefinePeak, FindsTheMaximumOfASeparableQuadratic) {
  // 100 - 4 (a - 1.3)^2 - 6 (b - 0.8)^2 sampled on the 3 x 3 grid.
  float v[3][3];
  for (int b = 0; b < 3; ++b) {
    for (int a = 0; a < 3; ++a) {
      v[b][a] = static_cast<float>(100 - 4 * (a - 1.3) * (a - 1.3) - 6 * (b - 0.8) * (b - 0.8));
    }
  }
  const PeakFit fit = RefinePeak(v);
  EXPECT_NEAR(fit.a, 1.3, 1e-5);
  EXPECT_NEAR(fit.b, 0.8, 1e-5);
  EXPECT_NEAR(fit.response, 100.0f, 1e-3);
}

TEST(RefinePeak, AlternatesFourOneDimensionalStepsLikeTheReference) {
  std::mt19937 random(11);
  std::uniform_real_distribution<float> noise(-20.0f, 20.0f);
  for (int trial = 0; trial < 200; ++trial) {
    float v[3][3];
    for (auto& row : v) {
      for (float& x : row) x = 50.0f + noise(random);
    }
    v[1][1] = 120.0f;  // a peak in the middle, as the finder hands it over
    const PeakFit fit = RefinePeak(v);
    const PeakFit expected = ReferenceRefine(v);
    ASSERT_NEAR(fit.a, expected.a, 1e-9) << "trial " << trial;
    ASSERT_NEAR(fit.b, expected.b, 1e-9) << "trial " << trial;
    ASSERT_NEAR(fit.response, expected.response, 1e-3) << "trial " << trial;
    ASSERT_GE(fit.a, 0.0);
    ASSERT_LE(fit.a, 2.0);
    ASSERT_GE(fit.b, 0.0);
    ASSERT_LE(fit.b, 2.0);
  }
}

TEST(RefinePeak, DegenerateNeighbourhoodsKeepThePreviousOffset) {
  // Flat: every step is degenerate, the corner stays at the centre.
  const float flat[3][3] = {{5, 5, 5}, {5, 5, 5}, {5, 5, 5}};
  const PeakFit centre = RefinePeak(flat);
  EXPECT_EQ(centre.a, 1.0);
  EXPECT_EQ(centre.b, 1.0);
  EXPECT_EQ(centre.response, 5.0f);

  // Linear along a (no curvature), a parabola along b with its top at 0.75:
  // a keeps the centre, b moves.
  float ramp[3][3];
  for (int b = 0; b < 3; ++b) {
    for (int a = 0; a < 3; ++a)
      ramp[b][a] = static_cast<float>(10 + a - 2 * (b - 0.75) * (b - 0.75));
  }
  const PeakFit fit = RefinePeak(ramp);
  EXPECT_EQ(fit.a, 1.0);
  EXPECT_NEAR(fit.b, 0.75, 1e-6);
  EXPECT_FALSE(std::isnan(fit.response));
}

TEST(RefinePeak, ClampsAnOffsetBeyondTheNeighbourhood) {
  // Vertex along a at 3.5: clamped to the last column.
  float v[3][3];
  for (int b = 0; b < 3; ++b) {
    for (int a = 0; a < 3; ++a)
      v[b][a] = static_cast<float>(50 - (a - 3.5) * (a - 3.5) - (b - 1) * (b - 1));
  }
  const PeakFit fit = RefinePeak(v);
  EXPECT_EQ(fit.a, 2.0);
  EXPECT_NEAR(fit.b, 1.0, 1e-9);
  EXPECT_NEAR(fit.response, 50 - 1.5 * 1.5, 1e-4);
}

// ---- Harris response ---------------------------------------------------

// Plain Harris response: direct 2-D smoothing with copied borders, forward
// differences, direct smoothing of the products, all in double.
std::vector<double> Smooth(const std::vector<double>& in, int w, int h, const float* taps,
                           int half) {
  std::vector<double> out(in.size());
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      const int cx = std::clamp(x, half, w - 1 - half);
      const int cy = std::clamp(y, half, h - 1 - half);
      double sum = 0;
      for (int j = 0; j <= 2 * half; ++j) {
        for (int k = 0; k <= 2 * half; ++k) {
          sum += double{taps[j]} * taps[k] * in[(cy + j - half) * w + (cx + k - half)];
        }
      }
      out[y * w + x] = sum;
    }
  }
  return out;
}

std::vector<double> ReferenceHarris(const std::vector<float>& tile, int w, int h, double scale) {
  const auto k7 = AdaptKernel7(kLowPassKernel7.data(), scale);
  const auto k5 = AdaptKernel5(kSearchKernel5.data(), scale);
  const std::vector<double> t =
      Smooth(std::vector<double>(tile.begin(), tile.end()), w, h, k7.data(), 3);
  std::vector<double> xx(t.size()), xy(t.size()), yy(t.size());
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      const int xr = std::min(x, w - 2);
      const int yr = std::min(y, h - 2);
      const double ix = t[y * w + xr + 1] - t[y * w + xr];
      const double iy = t[(yr + 1) * w + x] - t[yr * w + x];
      xx[y * w + x] = ix * ix;
      xy[y * w + x] = ix * iy;
      yy[y * w + x] = iy * iy;
    }
  }
  const auto sxx = Smooth(xx, w, h, k5.data(), 2);
  const auto sxy = Smooth(xy, w, h, k5.data(), 2);
  const auto syy = Smooth(yy, w, h, k5.data(), 2);
  std::vector<double> r(t.size());
  for (std::size_t i = 0; i < r.size(); ++i) {
    r[i] = sxx[i] * syy[i] - sxy[i] * sxy[i] - 0.08 * (sxx[i] + syy[i]) * (sxx[i] + syy[i]);
  }
  return r;
}

TEST(ComputeResponse, MatchesAPlainHarrisComputation) {
  const int w = 31;
  const int h = 24;
  std::mt19937 random(3);
  std::uniform_real_distribution<float> value(0.0f, 255.0f);
  for (double scale : {1.0, 1.45}) {
    std::vector<float> tile(static_cast<std::size_t>(w) * h);
    for (float& v : tile) v = value(random);
    const std::vector<double> expected = ReferenceHarris(tile, w, h, scale);
    std::vector<float> response(tile.size());
    ASSERT_EQ(ComputeResponse(tile.data(), w, h, scale, response.data()), kResultOk);
    double largest = 0;
    for (double r : expected) largest = std::max(largest, std::abs(r));
    // Single precision through two filters and products of differences: the
    // error stays far below a thousandth of the largest response.
    for (std::size_t i = 0; i < expected.size(); ++i) {
      ASSERT_NEAR(response[i], expected[i], largest * 1e-4) << "sample " << i << " scale " << scale;
    }
  }
}

TEST(ComputeResponse, ReportsAFailedBufferAsNoMemory) {
  std::vector<float> tile(400, 1.0f);
  std::vector<float> response(400);
  // The rows the response streams through are its one buffer.
  ArmAllocationFailure(1);
  EXPECT_EQ(ComputeResponse(tile.data(), 20, 20, 1.0, response.data()), kResultNoMemory);
  ArmAllocationFailure(0);
  EXPECT_EQ(ComputeResponse(tile.data(), 20, 20, 1.0, response.data()), kResultOk);
}

// ---- Whole planes ------------------------------------------------------

TEST(FindCorners, FindsEachCornerOfBrightRectanglesOnADarkGround) {
  // Two rectangles, one of them across the boundaries of the 2 x 2 tiles
  // (tiles of 500 x 300). The true corners are the rectangles' corner pixels.
  // A Harris peak sits about 1.6 pixels inside a convex corner along each
  // axis, so a corner counts as found within 2.5 pixels.
  ImageRecord plane = MakePlane(1000, 600, 30.0f);
  FillRect(plane, 100, 80, 300, 220, 200.0f);
  FillRect(plane, 420, 250, 700, 480, 220.0f);
  const double truth[][2] = {{100, 80},  {299, 80},  {100, 219}, {299, 219},
                             {420, 250}, {699, 250}, {420, 479}, {699, 479}};
  HeapArray<Corner> corners;
  std::uint32_t count = 0;
  ASSERT_EQ(FindCorners(plane, 1.0, corners, count), kResultOk);
  for (const auto& t : truth) {
    int near = 0;
    for (std::uint32_t i = 0; i < count; ++i) {
      if (std::hypot(corners[i].x - t[0], corners[i].y - t[1]) <= 2.5) ++near;
    }
    EXPECT_EQ(near, 1) << "corner at " << t[0] << "," << t[1];
  }
  // Nothing else in the picture is a corner, and the list runs strongest first.
  EXPECT_EQ(count, 8u);
  for (std::uint32_t i = 1; i < count; ++i) {
    EXPECT_GE(corners[i - 1].response, corners[i].response);
  }
}

TEST(FindCorners, ARescaledSearchStillFindsTheCorners) {
  ImageRecord plane = MakePlane(600, 500, 20.0f);
  FillRect(plane, 150, 120, 420, 380, 200.0f);
  HeapArray<Corner> corners;
  std::uint32_t count = 0;
  ASSERT_EQ(FindCorners(plane, 1.8, corners, count), kResultOk);
  ASSERT_EQ(count, 4u);
  for (const auto& t :
       {std::pair{150, 120}, std::pair{419, 120}, std::pair{150, 379}, std::pair{419, 379}}) {
    bool found = false;
    for (std::uint32_t i = 0; i < count; ++i) {
      found = found || std::hypot(corners[i].x - t.first, corners[i].y - t.second) <= 3.0;
    }
    EXPECT_TRUE(found) << t.first << "," << t.second;
  }
}

TEST(FindCorners, FlatAndTinyPlanesHaveNoCorners) {
  HeapArray<Corner> corners;
  std::uint32_t count = 99;
  ImageRecord flat = MakePlane(300, 200, 77.0f);
  EXPECT_EQ(FindCorners(flat, 1.0, corners, count), kResultOk);
  EXPECT_EQ(count, 0u);

  // Below the filter's size: nothing is read from unwritten samples.
  ImageRecord thin = MakePlane(6, 300, 0.0f);
  FillRect(thin, 0, 100, 3, 200, 250.0f);
  count = 99;
  EXPECT_EQ(FindCorners(thin, 1.0, corners, count), kResultOk);
  EXPECT_EQ(count, 0u);
}

TEST(FindCorners, AFailedTileContributesNothingAndAFailedListIsNoMemory) {
  ImageRecord plane = MakePlane(400, 300, 30.0f);
  FillRect(plane, 100, 80, 300, 220, 200.0f);
  HeapArray<Corner> corners;
  std::uint32_t count = 0;

  // The work list is the first buffer: no list, no search.
  ArmAllocationFailure(1);
  EXPECT_EQ(FindCorners(plane, 1.0, corners, count), kResultNoMemory);
  EXPECT_EQ(count, 0u);

  // Every later buffer (the response rows, the peak list) belongs to the one
  // tile: the search succeeds without it.
  for (int n = 2; n <= 3; ++n) {
    ArmAllocationFailure(n);
    count = 99;
    EXPECT_EQ(FindCorners(plane, 1.0, corners, count), kResultOk) << "failure " << n;
    EXPECT_EQ(count, 0u) << "failure " << n;
  }
  ArmAllocationFailure(0);
  EXPECT_EQ(FindCorners(plane, 1.0, corners, count), kResultOk);
  EXPECT_EQ(count, 4u);
}

}  // namespace
}  // namespace pmk
