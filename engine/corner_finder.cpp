#include "engine/internal/corner_finder.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>
#include <cstring>
#include <limits>
#include <utility>

#include "engine/internal/float_lanes.h"
#include "engine/internal/search_work.h"
#include "engine/internal/separable_filter.h"
#include "engine/internal/spare_cores.h"

namespace pmk {
namespace {

inline constexpr std::uint32_t kPeakListStep = 50;

// Marks the entries of the work list that no tile filled; a found corner
// never has a response that is not a number.
constexpr Corner kUnusedCorner{0.0, 0.0, std::numeric_limits<float>::quiet_NaN()};

// Coefficients (for 1, t, t^2) of the quadratic through f0, f1, f2 at 0, 1, 2.
std::array<double, 3> QuadraticThrough(double f0, double f1, double f2) noexcept {
  return {f0, (-3.0 * f0 + 4.0 * f1 - f2) * 0.5, (f0 - 2.0 * f1 + f2) * 0.5};
}

double Quadratic(const std::array<double, 3>& c, double t) noexcept {
  return c[0] + c[1] * t + c[2] * t * t;
}

// The zero of the derivative of c0 + c1 t + c2 t^2, or `previous` when the
// quadratic degenerates to a line.
double Stationary(double linear, double square, double previous) noexcept {
  const double denominator = 2.0 * square;
  if (denominator == 0.0) return previous;
  return -linear / denominator;
}

bool StrongerFirst(const Corner& p, const Corner& q) noexcept {
  if (p.response != q.response) return p.response > q.response;
  if (p.y != q.y) return p.y < q.y;
  return p.x < q.x;
}

bool InsideInnerBox(const Corner& c, const InnerBox& inner) noexcept {
  return inner.x0 <= c.x && c.x <= inner.x1 && inner.y0 <= c.y && c.y <= inner.y1;
}

// Appends one peak, growing the list in steps; false when it cannot grow.
bool AppendPeak(HeapArray<Corner>& peaks, std::uint32_t& count, const Corner& peak) noexcept {
  if (count == peaks.size() && !peaks.Resize(peaks.size() + kPeakListStep)) return false;
  peaks[count++] = peak;
  return true;
}

}  // namespace

TileLayout ComputeTileLayout(std::int32_t width, std::int32_t height) noexcept {
  TileLayout layout;
  if (width <= 0 || height <= 0) return layout;
  const double rows = std::ceil(static_cast<double>(height) / kTileTarget);
  const double columns = std::ceil(static_cast<double>(width) / kTileTarget);
  layout.rows = static_cast<std::int32_t>(rows);
  layout.columns = static_cast<std::int32_t>(columns);
  layout.tile_height = static_cast<std::int32_t>(std::ceil(height / rows));
  layout.tile_width = static_cast<std::int32_t>(std::ceil(width / columns));
  return layout;
}

PeakFit RefinePeak(const float (&values)[3][3]) noexcept {
  // P(a, b) = sum c[m][n] a^m b^n: quadratic in a along each row, then the
  // row coefficients fitted as quadratics in b.
  std::array<std::array<double, 3>, 3> by_row{};  // [row b][power of a]
  for (int b = 0; b < 3; ++b) {
    by_row[b] = QuadraticThrough(values[b][0], values[b][1], values[b][2]);
  }
  std::array<std::array<double, 3>, 3> c{};  // [power of a][power of b]
  for (int m = 0; m < 3; ++m) c[m] = QuadraticThrough(by_row[0][m], by_row[1][m], by_row[2][m]);

  const auto best_a = [&c](double b, double previous) {
    return Stationary(Quadratic(c[1], b), Quadratic(c[2], b), previous);
  };
  const auto best_b = [&c](double a, double previous) {
    const std::array<double, 3> linear{c[0][1], c[1][1], c[2][1]};
    const std::array<double, 3> square{c[0][2], c[1][2], c[2][2]};
    return Stationary(Quadratic(linear, a), Quadratic(square, a), previous);
  };

  double a = best_a(1.0, 1.0);
  double b = best_b(a, 1.0);
  a = best_a(b, a);
  b = best_b(a, b);
  PeakFit fit;
  fit.a = std::clamp(a, 0.0, 2.0);
  fit.b = std::clamp(b, 0.0, 2.0);
  const std::array<double, 3> at_b{Quadratic(c[0], fit.b), Quadratic(c[1], fit.b),
                                   Quadratic(c[2], fit.b)};
  fit.response = static_cast<float>(Quadratic(at_b, fit.a));
  return fit;
}

namespace {

// The work buffers of one tile's response: the filters' ring of rows and the
// three gradient products, each of the tile's size.
struct ResponseBuffers {
  float* ring = nullptr;
  float* ixx = nullptr;
  float* iyy = nullptr;
  float* ixy = nullptr;
};

// Forward differences of the smoothed tile and their products: Ixx, Iyy and
// Ixy. The last column (row) of each difference repeats the one before it.
template <int N>
PMK_ALWAYS_INLINE void GradientProducts(const float* tile, std::int32_t w, std::int32_t h,
                                        float* ix, float* iy, float* ixy) noexcept {
  const std::size_t samples = static_cast<std::size_t>(w) * static_cast<std::size_t>(h);
  for (std::int32_t y = 0; y < h; ++y) {
    const float* row = tile + static_cast<std::ptrdiff_t>(y) * w;
    float* out = ix + static_cast<std::ptrdiff_t>(y) * w;
    std::int32_t x = 0;
    for (; x + N <= w - 1; x += N) {
      StoreLanesOf<N>(out + x, LoadLanesOf<N>(row + x + 1) - LoadLanesOf<N>(row + x));
    }
    for (; x < w - 1; ++x) out[x] = row[x + 1] - row[x];
    out[w - 1] = out[w - 2];
  }
  const std::size_t above_last = samples - static_cast<std::size_t>(w);
  std::size_t i = 0;
  for (; i + N <= above_last; i += N) {
    StoreLanesOf<N>(iy + i, LoadLanesOf<N>(tile + i + w) - LoadLanesOf<N>(tile + i));
  }
  for (; i < above_last; ++i) iy[i] = tile[i + w] - tile[i];
  std::memcpy(iy + above_last, iy + above_last - w, static_cast<std::size_t>(w) * sizeof(float));

  i = 0;
  for (; i + N <= samples; i += N) {
    const Lanes<N> dx = LoadLanesOf<N>(ix + i);
    const Lanes<N> dy = LoadLanesOf<N>(iy + i);
    StoreLanesOf<N>(ixy + i, dx * dy);
    StoreLanesOf<N>(ix + i, dx * dx);
    StoreLanesOf<N>(iy + i, dy * dy);
  }
  for (; i < samples; ++i) {
    ixy[i] = ix[i] * iy[i];
    ix[i] = ix[i] * ix[i];
    iy[i] = iy[i] * iy[i];
  }
}

// R = Sxx Syy - Sxy^2 - k (Sxx + Syy)^2, in single precision.
template <int N>
PMK_ALWAYS_INLINE void HarrisResponse(const float* sxx_plane, const float* sxy_plane,
                                      const float* syy_plane, std::size_t samples,
                                      float* response) noexcept {
  std::size_t i = 0;
  for (; i + N <= samples; i += N) {
    const Lanes<N> sxx = LoadLanesOf<N>(sxx_plane + i);
    const Lanes<N> sxy = LoadLanesOf<N>(sxy_plane + i);
    const Lanes<N> syy = LoadLanesOf<N>(syy_plane + i);
    const Lanes<N> trace = sxx + syy;
    StoreLanesOf<N>(response + i, sxx * syy - sxy * sxy - kHarrisK * (trace * trace));
  }
  for (; i < samples; ++i) {
    const float sxx = sxx_plane[i];
    const float sxy = sxy_plane[i];
    const float syy = syy_plane[i];
    const float trace = sxx + syy;
    response[i] = sxx * syy - sxy * sxy - kHarrisK * (trace * trace);
  }
}

PMK_AVX2 void GradientProductsAvx2(const float* tile, std::int32_t w, std::int32_t h, float* ix,
                                   float* iy, float* ixy) noexcept {
  GradientProducts<kWideFloatLanes>(tile, w, h, ix, iy, ixy);
}

PMK_AVX2 void HarrisResponseAvx2(const float* sxx, const float* sxy, const float* syy,
                                 std::size_t samples, float* response) noexcept {
  HarrisResponse<kWideFloatLanes>(sxx, sxy, syy, samples, response);
}

// ComputeResponse on buffers the caller owns (w, h at least 7).
void ResponseInto(float* tile, std::int32_t w, std::int32_t h, double scale,
                  const ResponseBuffers& buffers, float* response) noexcept {
  const std::size_t samples = static_cast<std::size_t>(w) * static_cast<std::size_t>(h);
  SeparableFilter7(tile, tile, w, h, buffers.ring, kLowPassKernel7.data(), scale);
  float* ix = buffers.ixx;
  float* iy = buffers.iyy;
  float* ixy = buffers.ixy;
  if (HasAvx2()) {
    GradientProductsAvx2(tile, w, h, ix, iy, ixy);
  } else {
    GradientProducts<kFloatLanes>(tile, w, h, ix, iy, ixy);
  }
  SeparableFilter5(ix, ix, w, h, buffers.ring, kSearchKernel5.data(), scale);
  SeparableFilter5(ixy, ixy, w, h, buffers.ring, kSearchKernel5.data(), scale);
  SeparableFilter5(iy, iy, w, h, buffers.ring, kSearchKernel5.data(), scale);
  if (HasAvx2()) {
    HarrisResponseAvx2(ix, ixy, iy, samples, response);
  } else {
    HarrisResponse<kFloatLanes>(ix, ixy, iy, samples, response);
  }
}

// The peaks of a response (strict local maxima above the threshold), refined
// to sub-pixel positions, then the tile's selection, in `peaks` (an empty
// list starts with room for 50; a list from an earlier tile is reused). The
// response may be the tile itself.
// Which of the N samples from x on in row `here` are above the threshold and
// strictly above all eight neighbours: bit l for sample x + l. A comparison
// with a number that is not one fails, as in the scalar test.
template <int N>
PMK_ALWAYS_INLINE std::uint32_t PeakCandidates(const float* above, const float* here,
                                               const float* below, std::int32_t x) noexcept {
  const Lanes<N> r = LoadLanesOf<N>(here + x);
  auto keep = r > BroadcastLanesOf<N>(kResponseThreshold);
  keep &= r > LoadLanesOf<N>(above + x - 1);
  keep &= r > LoadLanesOf<N>(above + x);
  keep &= r > LoadLanesOf<N>(above + x + 1);
  keep &= r > LoadLanesOf<N>(here + x - 1);
  keep &= r > LoadLanesOf<N>(here + x + 1);
  keep &= r > LoadLanesOf<N>(below + x - 1);
  keep &= r > LoadLanesOf<N>(below + x);
  keep &= r > LoadLanesOf<N>(below + x + 1);
#if defined(__x86_64__) || defined(__i386__)
  // The lanes' sign bits, four at a time (the baseline's instruction).
  Lanes<N> signs;
  std::memcpy(&signs, &keep, sizeof signs);
  if constexpr (N == kWideFloatLanes) {
    const FloatLanes low = __builtin_shufflevector(signs, signs, 0, 1, 2, 3);
    const FloatLanes high = __builtin_shufflevector(signs, signs, 4, 5, 6, 7);
    return static_cast<std::uint32_t>(__builtin_ia32_movmskps(low) |
                                      (__builtin_ia32_movmskps(high) << 4));
  } else if constexpr (N == kFloatLanes) {
    return static_cast<std::uint32_t>(__builtin_ia32_movmskps(signs));
  }
#endif
  std::uint32_t bits = 0;
  for (int l = 0; l < N; ++l) bits |= keep[l] != 0 ? 1u << l : 0u;
  return bits;
}

// Blocks of candidates along a row: block b covers the N samples from
// x + b * N on.
constexpr std::int32_t kMostPeakBlocks = 64;

template <int N>
PMK_ALWAYS_INLINE void PeakBlocks(const float* above, const float* here, const float* below,
                                  std::int32_t x, std::int32_t blocks,
                                  std::uint32_t* bits) noexcept {
  for (std::int32_t b = 0; b < blocks; ++b) {
    bits[b] = PeakCandidates<N>(above, here, below, x + b * N);
  }
}

PMK_AVX2 void PeakBlocksAvx2(const float* above, const float* here, const float* below,
                             std::int32_t x, std::int32_t blocks, std::uint32_t* bits) noexcept {
  PeakBlocks<kWideFloatLanes>(above, here, below, x, blocks, bits);
}

std::uint8_t PeaksOf(const float* response, std::int32_t w, std::int32_t h, const InnerBox& inner,
                     HeapArray<Corner>& peaks, std::uint32_t& count) noexcept {
  count = 0;
  if (peaks.empty() && !peaks.Allocate(kPeakListStep)) return kResultNoMemory;
  std::uint32_t found = 0;
  // The peak at (x, y), refined and listed; false when the list cannot grow.
  const auto take = [&](std::int32_t x, std::int32_t y) noexcept {
    float around[3][3];
    for (int j = 0; j < 3; ++j) {
      const float* row = response + static_cast<std::ptrdiff_t>(y - 1 + j) * w + (x - 1);
      for (int i = 0; i < 3; ++i) around[j][i] = row[i];
    }
    const PeakFit fit = RefinePeak(around);
    // A refined value that is not a number cannot be ranked; such a peak
    // only arises from non-finite samples.
    if (std::isnan(fit.response)) return true;
    const Corner corner{x + fit.a - 1.0, y + fit.b - 1.0, fit.response};
    return AppendPeak(peaks, found, corner);
  };
  const bool wide = HasAvx2();
  const std::int32_t lanes = wide ? kWideFloatLanes : kFloatLanes;
  for (std::int32_t y = 1; y < h - 1; ++y) {
    const float* here = response + static_cast<std::ptrdiff_t>(y) * w;
    const float* above = here - w;
    const float* below = here + w;
    std::int32_t x = 1;
    // A block of samples at a time: most are no peak, and the few that are
    // are taken in the order of the walk, left to right.
    while (x + lanes <= w - 1) {
      const std::int32_t blocks = std::min((w - 1 - x) / lanes, kMostPeakBlocks);
      std::uint32_t bits[kMostPeakBlocks];
      if (wide) {
        PeakBlocksAvx2(above, here, below, x, blocks, bits);
      } else {
        PeakBlocks<kFloatLanes>(above, here, below, x, blocks, bits);
      }
      for (std::int32_t b = 0; b < blocks; ++b, x += lanes) {
        for (std::uint32_t left = bits[b]; left != 0; left &= left - 1) {
          if (!take(x + __builtin_ctz(left), y)) return kResultNoMemory;
        }
      }
    }
    for (; x < w - 1; ++x) {
      const float r = here[x];
      if (!(r > kResponseThreshold)) continue;
      bool peak = true;
      for (const float* row : {above, here, below}) {
        for (int i = -1; i <= 1; ++i) {
          if ((row != here || i != 0) && !(r > row[x + i])) peak = false;
        }
      }
      if (peak && !take(x, y)) return kResultNoMemory;
    }
  }

  // Peaks outside the tile's own area belong to a neighbour; dropping them
  // first leaves the same choice as dropping them while walking the list.
  std::uint32_t inside = 0;
  for (std::uint32_t i = 0; i < found; ++i) {
    if (InsideInnerBox(peaks[i], inner)) peaks[inside++] = peaks[i];
  }
  count = SelectCorners(peaks.data(), inside, w, h, kCornersKept);
  return kResultOk;
}

// True when every sample of the w x h tile is the same number: smoothing a
// constant leaves a constant, whose differences are exactly zero, so such a
// tile has a response of zero everywhere and no corner.
bool IsConstant(const float* tile, std::size_t samples) noexcept {
  const float first = tile[0];
  for (std::size_t i = 1; i < samples; ++i) {
    if (!(tile[i] == first)) return false;
  }
  return true;
}

}  // namespace

std::uint8_t ComputeResponse(float* tile, std::int32_t w, std::int32_t h, double scale,
                             float* response) noexcept {
  if (w < 7 || h < 7) return kResultRefused;
  const std::size_t samples = static_cast<std::size_t>(w) * static_cast<std::size_t>(h);
  HeapArray<float> ring;
  HeapArray<float> ixx;
  HeapArray<float> iyy;
  HeapArray<float> ixy;
  if (!ring.Allocate(FilterScratchFloats(w, 7)) || !ixx.Allocate(samples) ||
      !iyy.Allocate(samples) || !ixy.Allocate(samples)) {
    return kResultNoMemory;
  }
  ResponseInto(tile, w, h, scale, {ring.data(), ixx.data(), iyy.data(), ixy.data()}, response);
  return kResultOk;
}

std::uint32_t SelectCorners(Corner* corners, std::uint32_t count, double w, double h,
                            std::uint32_t limit) noexcept {
  std::sort(corners, corners + count, StrongerFirst);
  std::uint32_t kept = 0;
  for (std::uint32_t i = 0; i < count && kept < limit; ++i) {
    const Corner c = corners[i];
    if (c.x < kCornerBorder || c.y < kCornerBorder || w - c.x < kCornerBorder ||
        h - c.y < kCornerBorder) {
      continue;
    }
    bool crowded = false;
    for (std::uint32_t j = 0; j < kept && !crowded; ++j) {
      const double dx = c.x - corners[j].x;
      const double dy = c.y - corners[j].y;
      crowded = dx * dx + dy * dy < kMinSquaredDistance;
    }
    if (!crowded) corners[kept++] = c;
  }
  return kept;
}

std::uint8_t FindTileCorners(float* tile, std::int32_t w, std::int32_t h, const InnerBox& inner,
                             double scale, HeapArray<Corner>& corners,
                             std::uint32_t& count) noexcept {
  count = 0;
  corners.Release();
  // Too small for the filters: nothing defined to look at.
  if (w < 7 || h < 7) return kResultOk;
  // The response replaces the tile, which is no longer needed once the
  // differences are taken.
  const std::uint8_t result = ComputeResponse(tile, w, h, scale, tile);
  if (result != kResultOk) return result;
  const std::uint8_t peaks = PeaksOf(tile, w, h, inner, corners, count);
  if (peaks != kResultOk) corners.Release();
  return peaks;
}

std::uint8_t FindCorners(const ImageRecord& plane, double scale, HeapArray<Corner>& corners,
                         std::uint32_t& count) noexcept {
  return FindCorners(plane, scale, SampleClamp{}, corners, count);
}

std::uint8_t FindCorners(const ImageRecord& plane, double scale, const SampleClamp& clamp,
                         HeapArray<Corner>& corners, std::uint32_t& count) noexcept {
  count = 0;
  corners.Release();
  if (plane.channels() != 1 || plane.bits() != 32 || !plane.HasData()) return kResultOk;
  CornerWork work;
  const std::uint8_t result = FindCorners(FloatPlaneOf(plane), scale, clamp, work, count);
  if (result == kResultOk && !work.work.empty()) corners = std::move(work.work);
  return result;
}

bool TileWork::Fit(std::int32_t width, std::int32_t height) noexcept {
  const std::size_t samples = static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
  return EnsureExactCapacity(tile, samples) &&
         EnsureExactCapacity(ring, FilterScratchFloats(width, 7)) &&
         EnsureExactCapacity(ixx, samples) && EnsureExactCapacity(iyy, samples) &&
         EnsureExactCapacity(ixy, samples);
}

std::uint8_t FindCorners(ConstFloatPlane plane, double scale, const SampleClamp& clamp,
                         CornerWork& buffers, std::uint32_t& count) noexcept {
  count = 0;
  const std::int32_t width = plane.width;
  const std::int32_t height = plane.height;
  if (!plane.HasData() || width <= 0 || height <= 0) return kResultOk;
  const TileLayout layout = ComputeTileLayout(width, height);
  HeapArray<Corner>& work = buffers.work;
  const std::size_t entries =
      static_cast<std::size_t>(layout.rows) * layout.columns * (kCornersKept + 1);
  if (!EnsureCapacity(work, entries)) return kResultNoMemory;
  // Tiles are independent: they may run on idle cores, each worker with its
  // own buffers (fitted on its first tile to the largest tile, kept from
  // earlier planes when large enough). A worker without buffers lets its
  // tiles contribute no corners, as a tile that cannot obtain its own buffers
  // does. Each tile writes its corners to its own stretch of the work list,
  // the rest of which is marked unused.
  const std::int32_t tiles = layout.rows * layout.columns;
  const std::int32_t largest_width = std::min(layout.tile_width + 2 * kTileMargin, width);
  const std::int32_t largest_height = std::min(layout.tile_height + 2 * kTileMargin, height);
  std::array<bool, kMostParallelThreads> tried{};
  std::array<bool, kMostParallelThreads> have{};
  ParallelFor(tiles, [&](std::int32_t index, int worker) noexcept {
    Corner* stretch = work.data() + static_cast<std::size_t>(index) * (kCornersKept + 1);
    std::fill(stretch, stretch + kCornersKept + 1, kUnusedCorner);
    TileWork& own = buffers.tiles[worker];
    if (!tried[worker]) {
      tried[worker] = true;
      have[worker] = own.Fit(largest_width, largest_height);
    }
    if (!have[worker]) return;
    const std::int32_t r = index / layout.columns;
    const std::int32_t k = index % layout.columns;
    const std::int32_t inner_left = k * layout.tile_width;
    const std::int32_t inner_top = r * layout.tile_height;
    const std::int32_t inner_right = std::min((k + 1) * layout.tile_width, width);
    const std::int32_t inner_bottom = std::min((r + 1) * layout.tile_height, height);
    const std::int32_t left = std::max(inner_left - kTileMargin, 0);
    const std::int32_t top = std::max(inner_top - kTileMargin, 0);
    const std::int32_t right = std::min(inner_right + kTileMargin, width);
    const std::int32_t bottom = std::min(inner_bottom + kTileMargin, height);
    const std::int32_t w = right - left;
    const std::int32_t h = bottom - top;
    if (w < 7 || h < 7) return;

    float* tile = own.tile.data();
    for (std::int32_t y = 0; y < h; ++y) {
      clamp.Copy(tile + static_cast<std::ptrdiff_t>(y) * w, plane.Row(top + y) + left, w);
    }
    if (IsConstant(tile, static_cast<std::size_t>(w) * static_cast<std::size_t>(h))) return;
    const InnerBox inner{
        static_cast<double>(inner_left - left), static_cast<double>(inner_top - top),
        static_cast<double>(inner_right - left), static_cast<double>(inner_bottom - top)};
    ResponseInto(tile, w, h, scale,
                 {own.ring.data(), own.ixx.data(), own.iyy.data(), own.ixy.data()}, tile);
    std::uint32_t found_count = 0;
    // A tile that runs out of memory simply contributes no corners.
    if (PeaksOf(tile, w, h, inner, own.peaks, found_count) != kResultOk) return;
    for (std::uint32_t i = 0; i < found_count; ++i) {
      stretch[i] = own.peaks[i];
      stretch[i].x += left;
      stretch[i].y += top;
    }
  });
  std::uint32_t listed = 0;
  for (std::size_t i = 0; i < entries; ++i) {
    if (!std::isnan(work[i].response)) work[listed++] = work[i];
  }
  count = SelectCorners(work.data(), listed, width, height, kCornersKept);
  return kResultOk;
}

}  // namespace pmk
