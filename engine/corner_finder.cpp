#include "engine/internal/corner_finder.h"

#include <immintrin.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>
#include <cstring>
#include <limits>
#include <utility>

#include "engine/internal/corner_response.h"
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

// PeakCandidates for sixteen samples, the comparisons kept as bit masks: each
// masked comparison clears the bits of samples that fail it, as `&=` does.
// An ordered comparison fails on a number that is not one.
PMK_ALWAYS_INLINE PMK_AVX512 std::uint32_t PeakCandidates16(const float* above, const float* here,
                                                            const float* below,
                                                            std::int32_t x) noexcept {
  const __m512 r = _mm512_loadu_ps(here + x);
  __mmask16 keep = _mm512_cmp_ps_mask(r, _mm512_set1_ps(kResponseThreshold), _CMP_GT_OQ);
  keep = _mm512_mask_cmp_ps_mask(keep, r, _mm512_loadu_ps(above + x - 1), _CMP_GT_OQ);
  keep = _mm512_mask_cmp_ps_mask(keep, r, _mm512_loadu_ps(above + x), _CMP_GT_OQ);
  keep = _mm512_mask_cmp_ps_mask(keep, r, _mm512_loadu_ps(above + x + 1), _CMP_GT_OQ);
  keep = _mm512_mask_cmp_ps_mask(keep, r, _mm512_loadu_ps(here + x - 1), _CMP_GT_OQ);
  keep = _mm512_mask_cmp_ps_mask(keep, r, _mm512_loadu_ps(here + x + 1), _CMP_GT_OQ);
  keep = _mm512_mask_cmp_ps_mask(keep, r, _mm512_loadu_ps(below + x - 1), _CMP_GT_OQ);
  keep = _mm512_mask_cmp_ps_mask(keep, r, _mm512_loadu_ps(below + x), _CMP_GT_OQ);
  keep = _mm512_mask_cmp_ps_mask(keep, r, _mm512_loadu_ps(below + x + 1), _CMP_GT_OQ);
  return keep;
}

PMK_AVX512 void PeakBlocksAvx512(const float* above, const float* here, const float* below,
                                 std::int32_t x, std::int32_t blocks,
                                 std::uint32_t* bits) noexcept {
  for (std::int32_t b = 0; b < blocks; ++b) {
    bits[b] = PeakCandidates16(above, here, below, x + b * kWidestFloatLanes);
  }
}

// Blocks of `lanes` samples (16, 8 or 4, no wider than LaneWidth allows).
void PeakBlocksOf(int lanes, const float* above, const float* here, const float* below,
                  std::int32_t x, std::int32_t blocks, std::uint32_t* bits) noexcept {
  switch (lanes) {
    case kWidestFloatLanes:
      PeakBlocksAvx512(above, here, below, x, blocks, bits);
      break;
    case kWideFloatLanes:
      PeakBlocksAvx2(above, here, below, x, blocks, bits);
      break;
    default:
      PeakBlocks<kFloatLanes>(above, here, below, x, blocks, bits);
  }
}

// Rows of a tile whose response cannot pass the threshold. Smoothing and
// differences never widen the range of the samples they start from (the
// kernels' taps are non-negative and sum to one), so where every sample
// within reach of a pixel lies in a range r below 1.9 grey levels, Ix and Iy
// stay below r' = 1.901, each smoothed product below r'^2 and their trace
// below 2 r'^2; and R = Sxx Syy - Sxy^2 - k (Sxx + Syy)^2 is at most
// (1/4 - k) times the trace squared, 0.68 r'^4 < 8.9, under the threshold of
// 10 (single-precision rounding moves it by millionths): no peak can be
// there, and its rows need not be computed. A range of zero (a constant
// stretch, such as everything a clamped pass brings to 128) is the common
// case.
constexpr float kQuietRange = 1.9f;
constexpr std::int32_t kQuietReachAbove = 8;
constexpr std::int32_t kQuietReachBelow = 9;

// The least and greatest sample in each row of the source, as read (the
// source's clamp is not applied: clamping keeps the order of samples, so
// each pass clamps the range instead); a sample that is not a number makes
// its row's range unbounded. This is the first read of a tile from a plane
// far larger than the caches, so the rows a little further down are asked
// for while a row is scanned.
template <int N>
PMK_ALWAYS_INLINE void RowRangesOf(const TileSource& source, float* lowest,
                                   float* highest) noexcept {
  constexpr float kInfinity = std::numeric_limits<float>::infinity();
  constexpr std::int32_t kRowsAhead = 4;
  constexpr std::int32_t kLineFloats = 16;
  for (std::int32_t y = 0; y < source.height; ++y) {
    const float* samples = source.first + y * source.stride;
    if (y + kRowsAhead < source.height) {
      const float* ahead = samples + kRowsAhead * source.stride;
      for (std::int32_t x = 0; x < source.width; x += kLineFloats) __builtin_prefetch(ahead + x);
    }
    Lanes<N> low = BroadcastLanesOf<N>(kInfinity);
    Lanes<N> high = BroadcastLanesOf<N>(-kInfinity);
    auto unordered = low != low;
    std::int32_t x = 0;
    const auto take = [&](const Lanes<N>& v) {
      unordered |= v != v;
      low = v < low ? v : low;
      high = v > high ? v : high;
    };
    for (; x + N <= source.width; x += N) take(LoadLanesOf<N>(samples + x));
    if (x < source.width) {
      // The last samples again with the row's first: repeats do not change a range.
      Lanes<N> v = BroadcastLanesOf<N>(samples[0]);
      for (std::int32_t i = 0; x + i < source.width; ++i) v[i] = samples[x + i];
      take(v);
    }
    float row_low = low[0];
    float row_high = high[0];
    bool row_unordered = unordered[0] != 0;
    for (int l = 1; l < N; ++l) {
      row_low = std::min(row_low, low[l]);
      row_high = std::max(row_high, high[l]);
      row_unordered |= unordered[l] != 0;
    }
    lowest[y] = row_unordered ? -kInfinity : row_low;
    highest[y] = row_unordered ? kInfinity : row_high;
  }
}

PMK_AVX2 void RowRangesAvx2(const TileSource& source, float* lowest, float* highest) noexcept {
  RowRangesOf<kWideFloatLanes>(source, lowest, highest);
}

PMK_AVX512 void RowRangesAvx512(const TileSource& source, float* lowest, float* highest) noexcept {
  RowRangesOf<kWidestFloatLanes>(source, lowest, highest);
}

void RowRanges(const TileSource& source, float* lowest, float* highest) noexcept {
  switch (LaneWidth()) {
    case kWidestFloatLanes:
      RowRangesAvx512(source, lowest, highest);
      break;
    case kWideFloatLanes:
      RowRangesAvx2(source, lowest, highest);
      break;
    default:
      RowRangesOf<kFloatLanes>(source, lowest, highest);
  }
}

// Which rows of a window may hold a peak, from its rows' ranges.
class LiveRows {
 public:
  LiveRows(const float* lowest, const float* highest, std::int32_t height) noexcept
      : lowest_(lowest), highest_(highest), height_(height) {}

  bool Live(std::int32_t y) const noexcept {
    const std::int32_t first = std::max(y - kQuietReachAbove, 0);
    const std::int32_t last = std::min(y + kQuietReachBelow, height_ - 1);
    float low = lowest_[first];
    float high = highest_[first];
    for (std::int32_t i = first + 1; i <= last; ++i) {
      low = std::min(low, lowest_[i]);
      high = std::max(high, highest_[i]);
    }
    return !(high - low < kQuietRange);
  }

  // True when the whole window is one number: no response anywhere.
  bool Constant() const noexcept {
    for (std::int32_t y = 0; y < height_; ++y) {
      if (!(lowest_[y] == highest_[y] && lowest_[y] == lowest_[0])) return false;
    }
    return true;
  }

 private:
  const float* lowest_;
  const float* highest_;
  std::int32_t height_;
};

// The part of a tile copy that decides its corners: its own area, one pixel
// around it (a peak refines by up to a pixel) and the reach of the filters
// and differences beyond that (seven pixels before, eight after). A sample of
// this window has the value it has in the whole copy, so a window of about
// the tile's own size stands for a copy 40 pixels wider and higher.
struct TileWindow {
  std::int32_t left = 0;
  std::int32_t top = 0;
  std::int32_t width = 0;
  std::int32_t height = 0;
};

constexpr std::int32_t kReachBefore = 7;
constexpr std::int32_t kReachAfter = 9;

TileWindow DecidingWindow(std::int32_t w, std::int32_t h, const InnerBox& inner) noexcept {
  const auto span = [](double first, double last, std::int32_t length, std::int32_t& start,
                       std::int32_t& size) {
    start = std::max(static_cast<std::int32_t>(first) - kReachBefore, 0);
    const std::int32_t end = std::min(static_cast<std::int32_t>(last) + kReachAfter, length);
    size = end - start;
    // Never narrower than the filters need.
    if (size < 7) {
      start = 0;
      size = length;
    }
  };
  TileWindow window;
  span(inner.x0, inner.x1, w, window.left, window.width);
  span(inner.y0, inner.y1, h, window.top, window.height);
  return window;
}

// Where peaks are looked for, in tile-copy coordinates, bounds included.
struct PeakArea {
  std::int32_t first_x = 0;
  std::int32_t last_x = 0;
  std::int32_t first_y = 0;
  std::int32_t last_y = 0;
};

// Appends the peaks of `area` (strict local maxima of the response above the
// threshold), refined to sub-pixel positions in tile-copy coordinates, to
// the first `found` entries of `peaks`. The response is that of `window`,
// which holds the area with the filters' reach around it. Returns 0, or 6
// when the list cannot grow.
std::uint8_t PeaksOf(ResponseRows& response, const LiveRows& live, const TileWindow& window,
                     const PeakArea& area, HeapArray<Corner>& peaks,
                     std::uint32_t& found) noexcept {
  const float* above = nullptr;
  const float* here = nullptr;
  const float* below = nullptr;
  // The peak at window position (x, y), refined and listed; false when the
  // list cannot grow.
  const auto take = [&](std::int32_t x, std::int32_t y) noexcept {
    float around[3][3];
    for (int i = 0; i < 3; ++i) {
      around[0][i] = above[x - 1 + i];
      around[1][i] = here[x - 1 + i];
      around[2][i] = below[x - 1 + i];
    }
    const PeakFit fit = RefinePeak(around);
    // A refined value that is not a number cannot be ranked; such a peak
    // only arises from non-finite samples.
    if (std::isnan(fit.response)) return true;
    const std::int32_t column = window.left + x;
    const std::int32_t row = window.top + y;
    const Corner corner{column + fit.a - 1.0, row + fit.b - 1.0, fit.response};
    return AppendPeak(peaks, found, corner);
  };
  const std::int32_t first_x = area.first_x - window.left;
  const std::int32_t end_x = area.last_x - window.left + 1;
  const std::int32_t first_y = area.first_y - window.top;
  const std::int32_t last_y = area.last_y - window.top;
  const int widest = LaneWidth();
  // Blocks of `lanes` samples from x on; false when the list cannot grow.
  const auto take_blocks = [&](int lanes, std::int32_t& x, std::int32_t blocks,
                               std::int32_t y) noexcept {
    std::uint32_t bits[kMostPeakBlocks];
    PeakBlocksOf(lanes, above, here, below, x, blocks, bits);
    for (std::int32_t b = 0; b < blocks; ++b, x += lanes) {
      for (std::uint32_t left = bits[b]; left != 0; left &= left - 1) {
        if (!take(x + __builtin_ctz(left), y)) return false;
      }
    }
    return true;
  };
  for (std::int32_t y = first_y; y <= last_y; ++y) {
    if (!live.Live(y)) continue;
    response.Around(y, above, here, below);
    std::int32_t x = first_x;
    // A block of samples at a time: most are no peak, and the few that are
    // are taken in the order of the walk, left to right. What is left after
    // the widest blocks is taken in narrower ones.
    while (x + widest <= end_x) {
      const std::int32_t blocks = std::min((end_x - x) / widest, kMostPeakBlocks);
      if (!take_blocks(widest, x, blocks, y)) return kResultNoMemory;
    }
    for (int lanes = widest / 2; lanes >= kFloatLanes; lanes /= 2) {
      if (x + lanes <= end_x && !take_blocks(lanes, x, 1, y)) return kResultNoMemory;
    }
    for (; x < end_x; ++x) {
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

  return kResultOk;
}

// Floats of work a tile of at most width x height needs: the response's rows,
// each row's range as read, and the same clamped for one pass.
std::size_t TileWorkFloats(std::int32_t width, std::int32_t height) noexcept {
  return ResponseWorkFloats(width) + 4 * static_cast<std::size_t>(height);
}

// Peak columns of one strip of a tile. A tile is taken in strips side by
// side, each with the filters' reach around it: narrower strips leave out
// more of the flat stretches a clamped pass makes, but each costs that reach
// again.
constexpr std::int32_t kStripPeakColumns = 128;

// The passes a tile is searched in: the clamp of each (the source's own
// clamp is not used) and each one's peak list and result.
struct TilePasses {
  const SampleClamp* clamps = nullptr;
  HeapArray<Corner>* peaks = nullptr;
  std::uint32_t* counts = nullptr;
  std::uint8_t* results = nullptr;  // 0, or 6 when the pass's peak list cannot be had
  int count = 0;
};

// The corners of one tile copy (the whole of `tile`) with its own area
// `inner`, in copy coordinates, for each pass; `work` holds TileWorkFloats
// of its size. Each strip of the tile is read from the plane once for all
// the passes: its rows' ranges are taken unclamped (clamping keeps the
// order of samples, so each pass clamps the range), and the passes'
// filters then find the strip in the caches.
void CornersOfTile(const TileSource& tile, const InnerBox& inner, double scale, float* work,
                   const TilePasses& passes) noexcept {
  std::uint32_t found[kMostCornerPasses] = {};
  for (int p = 0; p < passes.count; ++p) {
    passes.counts[p] = 0;
    passes.results[p] = kResultOk;
    if (passes.peaks[p].empty() && !passes.peaks[p].Allocate(kPeakListStep)) {
      passes.results[p] = kResultNoMemory;
    }
  }
  const TileWindow whole = DecidingWindow(tile.width, tile.height, inner);
  // Only peaks within a pixel of the tile's own area can refine into it.
  PeakArea area;
  area.first_x = std::max(static_cast<std::int32_t>(inner.x0) - 1, whole.left + 1);
  area.last_x = std::min(static_cast<std::int32_t>(inner.x1) + 1, whole.left + whole.width - 2);
  area.first_y = std::max(static_cast<std::int32_t>(inner.y0) - 1, whole.top + 1);
  area.last_y = std::min(static_cast<std::int32_t>(inner.y1) + 1, whole.top + whole.height - 2);
  const std::int32_t columns = area.last_x - area.first_x + 1;
  const std::int32_t strips =
      std::max((columns + kStripPeakColumns / 2) / kStripPeakColumns, std::int32_t{1});
  for (std::int32_t s = 0; s < strips; ++s) {
    PeakArea strip = area;
    strip.first_x = area.first_x + columns * s / strips;
    strip.last_x = area.first_x + columns * (s + 1) / strips - 1;
    TileWindow window = whole;
    if (strips > 1) {
      window.left = std::max(strip.first_x - (kReachBefore - 1), whole.left);
      window.width =
          std::min(strip.last_x + kReachAfter - 1, whole.left + whole.width) - window.left;
    }
    TileSource deciding = tile;
    deciding.first = tile.first + window.top * tile.stride + window.left;
    deciding.width = window.width;
    deciding.height = window.height;
    float* read_lowest = work + ResponseWorkFloats(window.width);
    float* read_highest = read_lowest + window.height;
    float* lowest = read_highest + window.height;
    float* highest = lowest + window.height;
    RowRanges(deciding, read_lowest, read_highest);
    for (int p = 0; p < passes.count; ++p) {
      if (passes.results[p] != kResultOk) continue;
      deciding.clamp = passes.clamps[p];
      deciding.clamp.Copy(lowest, read_lowest, window.height);
      deciding.clamp.Copy(highest, read_highest, window.height);
      const LiveRows live(lowest, highest, window.height);
      if (live.Constant()) continue;
      ResponseRows response(deciding, scale, work);
      passes.results[p] = PeaksOf(response, live, window, strip, passes.peaks[p], found[p]);
    }
  }
  for (int p = 0; p < passes.count; ++p) {
    if (passes.results[p] != kResultOk) continue;
    // Peaks outside the tile's own area belong to a neighbour; dropping them
    // first leaves the same choice as dropping them while walking the list.
    HeapArray<Corner>& peaks = passes.peaks[p];
    std::uint32_t inside = 0;
    for (std::uint32_t i = 0; i < found[p]; ++i) {
      if (InsideInnerBox(peaks[i], inner)) peaks[inside++] = peaks[i];
    }
    passes.counts[p] = SelectCorners(peaks.data(), inside, tile.width, tile.height, kCornersKept);
  }
}

}  // namespace

std::uint8_t ComputeResponse(const float* tile, std::int32_t w, std::int32_t h, double scale,
                             float* response) noexcept {
  if (w < 7 || h < 7) return kResultRefused;
  HeapArray<float> rows;
  if (!rows.Allocate(ResponseWorkFloats(w))) return kResultNoMemory;
  ResponseRows stream({tile, w, w, h, SampleClamp{}}, scale, rows.data());
  for (std::int32_t y = 0; y < h; ++y) {
    std::memcpy(response + static_cast<std::ptrdiff_t>(y) * w, stream.Row(y),
                static_cast<std::size_t>(w) * sizeof(float));
  }
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

std::uint8_t FindTileCorners(const float* tile, std::int32_t w, std::int32_t h,
                             const InnerBox& inner, double scale, HeapArray<Corner>& corners,
                             std::uint32_t& count) noexcept {
  count = 0;
  corners.Release();
  // Too small for the filters: nothing defined to look at.
  if (w < 7 || h < 7) return kResultOk;
  HeapArray<float> work;
  if (!work.Allocate(TileWorkFloats(w, h))) return kResultNoMemory;
  const SampleClamp unclamped;
  std::uint8_t result = kResultOk;
  CornersOfTile({tile, w, w, h, unclamped}, inner, scale, work.data(),
                {&unclamped, &corners, &count, &result, 1});
  if (result != kResultOk) corners.Release();
  return result;
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
  if (result == kResultOk && !work.lists[0].empty()) corners = std::move(work.lists[0]);
  return result;
}

bool TileWork::Fit(std::int32_t width, std::int32_t height) noexcept {
  return EnsureExactCapacity(floats, TileWorkFloats(width, height));
}

std::uint8_t FindCorners(ConstFloatPlane plane, double scale, const SampleClamp& clamp,
                         CornerWork& buffers, std::uint32_t& count) noexcept {
  std::uint8_t result = kResultOk;
  FindCornersOfPasses(plane, scale, &clamp, 1, buffers, &count, &result);
  return result;
}

void FindCornersOfPasses(ConstFloatPlane plane, double scale, const SampleClamp* clamps, int passes,
                         CornerWork& buffers, std::uint32_t* counts,
                         std::uint8_t* results) noexcept {
  for (int p = 0; p < passes; ++p) {
    counts[p] = 0;
    results[p] = kResultOk;
  }
  const std::int32_t width = plane.width;
  const std::int32_t height = plane.height;
  if (!plane.HasData() || width <= 0 || height <= 0) return;
  const TileLayout layout = ComputeTileLayout(width, height);
  const std::size_t entries =
      static_cast<std::size_t>(layout.rows) * layout.columns * (kCornersKept + 1);
  // A pass whose work list cannot be had finds nothing and says so; the
  // others go on.
  SampleClamp live_clamps[kMostCornerPasses];
  int live_pass[kMostCornerPasses];
  int live = 0;
  for (int p = 0; p < passes; ++p) {
    if (!EnsureCapacity(buffers.lists[p], entries)) {
      results[p] = kResultNoMemory;
      continue;
    }
    live_clamps[live] = clamps[p];
    live_pass[live++] = p;
  }
  if (live == 0) return;
  // Tiles are independent: they may run on idle cores, each worker with its
  // own buffers (fitted on its first tile to the largest tile, kept from
  // earlier planes when large enough). A worker without buffers lets its
  // tiles contribute no corners, as a tile that cannot obtain its own buffers
  // does. Each tile writes each pass's corners to its own stretch of that
  // pass's work list, the rest of which is marked unused.
  const std::int32_t tiles = layout.rows * layout.columns;
  const std::int32_t largest_width = std::min(layout.tile_width + 2 * kTileMargin, width);
  const std::int32_t largest_height = std::min(layout.tile_height + 2 * kTileMargin, height);
  std::array<bool, kMostParallelThreads> tried{};
  std::array<bool, kMostParallelThreads> have{};
  ParallelFor(tiles, [&](std::int32_t index, int worker) noexcept {
    Corner* stretch[kMostCornerPasses];
    for (int l = 0; l < live; ++l) {
      stretch[l] =
          buffers.lists[live_pass[l]].data() + static_cast<std::size_t>(index) * (kCornersKept + 1);
      std::fill(stretch[l], stretch[l] + kCornersKept + 1, kUnusedCorner);
    }
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
    const TileSource tile{plane.Row(top) + left, width, right - left, bottom - top, {}};
    if (tile.width < 7 || tile.height < 7) return;
    const InnerBox inner{
        static_cast<double>(inner_left - left), static_cast<double>(inner_top - top),
        static_cast<double>(inner_right - left), static_cast<double>(inner_bottom - top)};
    std::uint32_t found[kMostCornerPasses] = {};
    std::uint8_t tile_results[kMostCornerPasses] = {};
    CornersOfTile(tile, inner, scale, own.floats.data(),
                  {live_clamps, own.peaks.data(), found, tile_results, live});
    for (int l = 0; l < live; ++l) {
      // A tile that runs out of memory simply contributes no corners.
      if (tile_results[l] != kResultOk) continue;
      for (std::uint32_t i = 0; i < found[l]; ++i) {
        stretch[l][i] = own.peaks[l][i];
        stretch[l][i].x += left;
        stretch[l][i].y += top;
      }
    }
  });
  for (int l = 0; l < live; ++l) {
    HeapArray<Corner>& work = buffers.lists[live_pass[l]];
    std::uint32_t listed = 0;
    for (std::size_t i = 0; i < entries; ++i) {
      if (!std::isnan(work[i].response)) work[listed++] = work[i];
    }
    counts[live_pass[l]] = SelectCorners(work.data(), listed, width, height, kCornersKept);
  }
}

}  // namespace pmk
