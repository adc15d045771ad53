#include "engine/internal/resample.h"

#include <immintrin.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cmath>
#include <utility>

#include "engine/internal/float_lanes.h"
#include "engine/internal/search_work.h"
#include "engine/internal/spare_cores.h"

namespace pmk {
namespace {

constexpr std::int32_t kWeightSteps = kProductTableRows - 1;

// Where the resampled samples go: the three-channel float picture, or
// straight into the two planes a detection uses.
struct ThreeChannelSink {
  static constexpr int kFirstChannel = 0;
  static constexpr int kLastChannel = 2;
  ImageRecord& destination;
  float* Row(std::int32_t r) noexcept { return destination.Row<float>(r); }
  void Put(float* row, std::int32_t q, float blue, float green, float red) const noexcept {
    row[3 * q] = blue;
    row[3 * q + 1] = green;
    row[3 * q + 2] = red;
  }
};

// The two planes of a detection, or one of them: `Content` says which
// channels the sink takes (blue 0, green 1, red 2), so that a pass for one
// plane works out only its own channels.
template <PlaneContent Content>
struct PlaneSink {
  static constexpr int kFirstChannel = Content == PlaneContent::kGuide ? 1 : 0;
  static constexpr int kLastChannel = Content == PlaneContent::kCarrier ? 0 : 2;
  FloatPlane guide;
  FloatPlane carrier;
  float* guide_row = nullptr;
  float* carrier_row = nullptr;
  float* Row(std::int32_t r) noexcept {
    if constexpr (Content != PlaneContent::kCarrier) guide_row = guide.Row(r);
    if constexpr (Content != PlaneContent::kGuide) carrier_row = carrier.Row(r);
    return nullptr;
  }
  void Put(float*, std::int32_t q, float blue, float green, float red) const noexcept {
    // As MakeGuidePlane computes it from the three-channel picture.
    if constexpr (Content != PlaneContent::kCarrier) guide_row[q] = (green + red) * 0.5f;
    if constexpr (Content != PlaneContent::kGuide) carrier_row[q] = blue;
  }
};

ColumnTaps EnlargeColumn(double s, std::int32_t width) noexcept {
  ColumnTaps taps;
  taps.s0 = std::min(std::max(static_cast<std::int32_t>(std::floor(s)), 0), width - 1);
  taps.s1 = std::min(taps.s0 + 1, width - 1);
  double fs = s - taps.s0;
  if (!(fs > 0.0)) fs = 0.0;
  taps.n = std::min(static_cast<std::int32_t>(fs * 1000.0 + 0.5), kWeightSteps);
  return taps;
}

// Bilinear taps from the product table; every output sample is four lookups.
// `columns`, when given, holds the taps of every output column (else they are
// worked out as the row goes).
template <class Sink>
void Enlarge(const double* table, std::int32_t out_width, std::int32_t first_row,
             std::int32_t end_row, Sink sink, const ImageRecord& source, double a,
             const ColumnTaps* columns) noexcept {
  const std::int32_t width = source.width();
  const std::int32_t height = source.height();
  double y = a * 0.5 - 0.5;
  for (std::int32_t r = 0; r < first_row; ++r) y += a;
  for (std::int32_t r = first_row; r < end_row; ++r, y += a) {
    const std::int32_t y0 =
        std::min(std::max(static_cast<std::int32_t>(std::floor(y)), 0), height - 1);
    const std::int32_t y1 = std::min(y0 + 1, height - 1);
    // Not clamped: above the first source row the top rows are extrapolated.
    const double fy = y - y0;
    const std::uint8_t* upper = source.Row<std::uint8_t>(y0);
    const std::uint8_t* lower = source.Row<std::uint8_t>(y1);
    float* out = sink.Row(r);
    double s = a * 0.5 - 0.5;
    for (std::int32_t q = 0; q < out_width; ++q, s += a) {
      const ColumnTaps taps = columns != nullptr ? columns[q] : EnlargeColumn(s, width);
      const double* near_weight = table + static_cast<std::ptrdiff_t>(kWeightSteps - taps.n) * 256;
      const double* far_weight = table + static_cast<std::ptrdiff_t>(taps.n) * 256;
      const std::uint8_t* tl = upper + 3 * taps.s0;
      const std::uint8_t* tr = upper + 3 * taps.s1;
      const std::uint8_t* bl = lower + 3 * taps.s0;
      const std::uint8_t* br = lower + 3 * taps.s1;
      float value[3];
      for (int c = 0; c < 3; ++c) {
        value[c] = static_cast<float>((near_weight[tl[c]] + far_weight[tr[c]]) * (1.0 - fy) +
                                      (far_weight[br[c]] + near_weight[bl[c]]) * fy);
      }
      sink.Put(out, q, value[0], value[1], value[2]);
    }
  }
}

// The horizontal half of the bilinear taps for one source row: for each
// output column and channel, P[1000 - n][left] + P[n][right]. Enlarging, a
// source row serves as the lower row of one output row and the upper row of
// the next few, and the lower row's sum, P[n][right] + P[1000 - n][left], is
// the same number (addition commutes exactly), so each row is summed once.
// Channel c of column q goes to sums[c * out_width + q], channel by channel,
// so that the vertical half reads each channel as one contiguous line.
template <int First, int Last>
void SumSourceRow(const double* table, const std::uint8_t* row, std::int32_t out_width,
                  const ColumnTaps* columns, double* sums) noexcept {
  double* const channel_sums[3] = {sums, sums + out_width,
                                   sums + 2 * static_cast<std::ptrdiff_t>(out_width)};
  for (std::int32_t q = 0; q < out_width; ++q) {
    const ColumnTaps taps = columns[q];
    const double* near_weight =
        table + static_cast<std::ptrdiff_t>(kWeightSteps - taps.n) * kPaddedProductRow;
    const double* far_weight = table + static_cast<std::ptrdiff_t>(taps.n) * kPaddedProductRow;
    const std::uint8_t* left = row + 3 * taps.s0;
    const std::uint8_t* right = row + 3 * taps.s1;
#pragma GCC unroll 3
    for (int c = First; c <= Last; ++c) {
      channel_sums[c][q] = near_weight[left[c]] + far_weight[right[c]];
    }
  }
}

// One channel of N output columns: (float)(up * upper_weight + down * fy),
// lane by lane the scalar expression.
template <int N>
PMK_ALWAYS_INLINE Lanes<N> VerticalLanes(const double* up, const double* down,
                                         DoubleLanes<N> upper_weight,
                                         DoubleLanes<N> lower_weight) noexcept {
  return __builtin_convertvector(
      LoadLanesOf<N>(up) * upper_weight + LoadLanesOf<N>(down) * lower_weight, Lanes<N>);
}

// The vertical half of an output row from the two source rows' sums, from
// column q on, N columns at a time while they fit, then narrower (down to
// two); returns where the blocks stopped. Every column's numbers are those
// of the scalar tail.
template <int N, PlaneContent Content>
PMK_ALWAYS_INLINE std::int32_t VerticalBlocks(const double* upper, const double* lower,
                                              std::int32_t q, std::int32_t width,
                                              double upper_weight, double fy, float* guide,
                                              float* carrier) noexcept {
  const DoubleLanes<N> uw = BroadcastLanesOf<N>(upper_weight);
  const DoubleLanes<N> lw = BroadcastLanesOf<N>(fy);
  const Lanes<N> half = BroadcastLanesOf<N>(0.5f);
  const std::ptrdiff_t green = width;
  const std::ptrdiff_t red = 2 * static_cast<std::ptrdiff_t>(width);
  for (; q + N <= width; q += N) {
    if constexpr (Content != PlaneContent::kCarrier) {
      const Lanes<N> g = VerticalLanes<N>(upper + green + q, lower + green + q, uw, lw);
      const Lanes<N> r = VerticalLanes<N>(upper + red + q, lower + red + q, uw, lw);
      StoreLanesOf<N>(guide + q, (g + r) * half);
    }
    if constexpr (Content != PlaneContent::kGuide) {
      StoreLanesOf<N>(carrier + q, VerticalLanes<N>(upper + q, lower + q, uw, lw));
    }
  }
  if constexpr (N > 2) {
    return VerticalBlocks<N / 2, Content>(upper, lower, q, width, upper_weight, fy, guide, carrier);
  }
  return q;
}

template <int N, PlaneContent Content>
PMK_ALWAYS_INLINE void VerticalRowLanes(const double* upper, const double* lower,
                                        std::int32_t width, double upper_weight, double fy,
                                        float* guide, float* carrier) noexcept {
  const std::ptrdiff_t green = width;
  const std::ptrdiff_t red = 2 * static_cast<std::ptrdiff_t>(width);
  for (std::int32_t q =
           VerticalBlocks<N, Content>(upper, lower, 0, width, upper_weight, fy, guide, carrier);
       q < width; ++q) {
    if constexpr (Content != PlaneContent::kCarrier) {
      const auto g = static_cast<float>(upper[green + q] * upper_weight + lower[green + q] * fy);
      const auto r = static_cast<float>(upper[red + q] * upper_weight + lower[red + q] * fy);
      guide[q] = (g + r) * 0.5f;
    }
    if constexpr (Content != PlaneContent::kGuide) {
      carrier[q] = static_cast<float>(upper[q] * upper_weight + lower[q] * fy);
    }
  }
}

template <PlaneContent Content>
PMK_AVX2 void VerticalRowAvx2(const double* upper, const double* lower, std::int32_t width,
                              double upper_weight, double fy, float* guide,
                              float* carrier) noexcept {
  VerticalRowLanes<4, Content>(upper, lower, width, upper_weight, fy, guide, carrier);
}

template <PlaneContent Content>
PMK_AVX512 void VerticalRowAvx512(const double* upper, const double* lower, std::int32_t width,
                                  double upper_weight, double fy, float* guide,
                                  float* carrier) noexcept {
  VerticalRowLanes<8, Content>(upper, lower, width, upper_weight, fy, guide, carrier);
}

// Doubles, so half the float lanes: two, four or eight columns at a time.
template <PlaneContent Content>
void VerticalRow(const double* upper, const double* lower, std::int32_t width, double upper_weight,
                 double fy, float* guide, float* carrier) noexcept {
  switch (LaneWidth()) {
    case kWidestFloatLanes:
      VerticalRowAvx512<Content>(upper, lower, width, upper_weight, fy, guide, carrier);
      break;
    case kWideFloatLanes:
      VerticalRowAvx2<Content>(upper, lower, width, upper_weight, fy, guide, carrier);
      break;
    default:
      VerticalRowLanes<2, Content>(upper, lower, width, upper_weight, fy, guide, carrier);
  }
}

// Enlarge into the planes with the sums of each source row kept while rows
// use them: `sums` has room for two rows of 3 * out_width doubles.
template <PlaneContent Content>
void EnlargeBySourceRows(const double* table, std::int32_t out_width, std::int32_t first_row,
                         std::int32_t end_row, PlaneSink<Content> sink, const ImageRecord& source,
                         double a, const ColumnTaps* columns, double* sums) noexcept {
  constexpr int kFirst = PlaneSink<Content>::kFirstChannel;
  constexpr int kLast = PlaneSink<Content>::kLastChannel;
  const std::int32_t height = source.height();
  const std::size_t row_sums = static_cast<std::size_t>(out_width) * 3;
  double* upper_sums = sums;
  double* lower_sums = sums + row_sums;
  std::int32_t upper_row = -1;
  std::int32_t lower_row = -1;
  double y = a * 0.5 - 0.5;
  for (std::int32_t r = 0; r < first_row; ++r) y += a;
  for (std::int32_t r = first_row; r < end_row; ++r, y += a) {
    const std::int32_t y0 =
        std::min(std::max(static_cast<std::int32_t>(std::floor(y)), 0), height - 1);
    const std::int32_t y1 = std::min(y0 + 1, height - 1);
    const double fy = y - y0;
    if (upper_row != y0) {
      if (lower_row == y0) {
        std::swap(upper_sums, lower_sums);
        std::swap(upper_row, lower_row);
      } else {
        SumSourceRow<kFirst, kLast>(table, source.Row<std::uint8_t>(y0), out_width, columns,
                                    upper_sums);
        upper_row = y0;
      }
    }
    if (lower_row != y1) {
      SumSourceRow<kFirst, kLast>(table, source.Row<std::uint8_t>(y1), out_width, columns,
                                  lower_sums);
      lower_row = y1;
    }
    sink.Row(r);
    VerticalRow<Content>(upper_sums, lower_sums, out_width, 1.0 - fy, fy, sink.guide_row,
                         sink.carrier_row);
  }
}

Span ReductionSpan(double start, double end, std::int32_t length) noexcept {
  const double floor_start = std::floor(start);
  Span span;
  span.first = std::min(static_cast<std::int32_t>(floor_start), length - 1);
  span.last = std::min(static_cast<std::int32_t>(std::ceil(end)), length - 1) - 1;
  if (span.last < span.first) span.last = span.first;
  span.first_weight = 1.0 - (start - floor_start);
  return span;
}

// Reducing into the planes, four output samples at a time, each with its
// three channels side by side in the lanes of one vector (the fourth lane
// carries the next pixel's blue and is dropped). The scalar loop kept one
// sample's sums in memory and waited on each addition; here four samples'
// chains of additions run side by side, each in the scalar loop's order.
// Every output column walks the same number of source columns, the longest
// span of the scale, so that no loop exit is mispredicted: the columns past a
// span's end weigh 0, and adding w * v = +0 to a sum of non-negative terms
// changes nothing. The weights are the scalar loop's: the first column's
// weight (or 1) times the first row's weight (or 1), a product with 1 being
// exact. So every sample is bit for bit the scalar loop's.
PMK_ALWAYS_INLINE PMK_AVX2 __m256d LoadPixelAvx2(const std::uint8_t* pixel) noexcept {
  std::int32_t bytes;
  std::memcpy(&bytes, pixel, sizeof bytes);
  return _mm256_cvtepi32_pd(_mm_cvtepu8_epi32(_mm_cvtsi32_si128(bytes)));
}

template <int Lane>
PMK_ALWAYS_INLINE PMK_AVX2 __m256d LaneOf(__m256d v) noexcept {
  return _mm256_permute4x64_pd(v, Lane * 0x55);
}

// Output columns q .. q + 3 of one output row.
template <class Sink>
PMK_ALWAYS_INLINE PMK_AVX2 void ReduceFourColumns(const ImageRecord& source, const Span& rows,
                                                  const Span* columns, std::int32_t q,
                                                  std::int32_t taps, Sink& sink,
                                                  float* out) noexcept {
  const __m256d one = _mm256_set1_pd(1.0);
  const Span* span = columns + q;
  std::int32_t first[4];
  std::int32_t last_tap[4];
  for (int j = 0; j < 4; ++j) {
    first[j] = 3 * span[j].first;
    last_tap[j] = span[j].last - span[j].first;
  }
  const __m256d first_weights = _mm256_setr_pd(span[0].first_weight, span[1].first_weight,
                                               span[2].first_weight, span[3].first_weight);
  const __m256d last_taps = _mm256_setr_pd(last_tap[0], last_tap[1], last_tap[2], last_tap[3]);
  __m256d sums[4] = {_mm256_setzero_pd(), _mm256_setzero_pd(), _mm256_setzero_pd(),
                     _mm256_setzero_pd()};
  __m256d weights = _mm256_setzero_pd();
  for (std::int32_t yy = rows.first; yy <= rows.last; ++yy) {
    const std::uint8_t* line = source.Row<std::uint8_t>(yy);
    const __m256d row_weight = _mm256_set1_pd(yy == rows.first ? rows.first_weight : 1.0);
    for (std::int32_t k = 0; k < taps; ++k) {
      const __m256d column_weight =
          k == 0 ? first_weights
                 : _mm256_and_pd(_mm256_cmp_pd(_mm256_set1_pd(k), last_taps, _CMP_LE_OQ), one);
      const __m256d w = _mm256_mul_pd(column_weight, row_weight);
      weights = _mm256_add_pd(weights, w);
      // A column past the span reads the span's last pixel, at weight 0.
      const __m256d p0 = LoadPixelAvx2(line + first[0] + 3 * std::min(k, last_tap[0]));
      const __m256d p1 = LoadPixelAvx2(line + first[1] + 3 * std::min(k, last_tap[1]));
      const __m256d p2 = LoadPixelAvx2(line + first[2] + 3 * std::min(k, last_tap[2]));
      const __m256d p3 = LoadPixelAvx2(line + first[3] + 3 * std::min(k, last_tap[3]));
      sums[0] = _mm256_add_pd(sums[0], _mm256_mul_pd(LaneOf<0>(w), p0));
      sums[1] = _mm256_add_pd(sums[1], _mm256_mul_pd(LaneOf<1>(w), p1));
      sums[2] = _mm256_add_pd(sums[2], _mm256_mul_pd(LaneOf<2>(w), p2));
      sums[3] = _mm256_add_pd(sums[3], _mm256_mul_pd(LaneOf<3>(w), p3));
    }
  }
  float mean[4][4];
  _mm_storeu_ps(mean[0], _mm256_cvtpd_ps(_mm256_div_pd(sums[0], LaneOf<0>(weights))));
  _mm_storeu_ps(mean[1], _mm256_cvtpd_ps(_mm256_div_pd(sums[1], LaneOf<1>(weights))));
  _mm_storeu_ps(mean[2], _mm256_cvtpd_ps(_mm256_div_pd(sums[2], LaneOf<2>(weights))));
  _mm_storeu_ps(mean[3], _mm256_cvtpd_ps(_mm256_div_pd(sums[3], LaneOf<3>(weights))));
  for (int j = 0; j < 4; ++j) sink.Put(out, q + j, mean[j][0], mean[j][1], mean[j][2]);
}

// Output columns [0, end), end a multiple of 4; each of their spans ends
// before the line's last pixel, so that the fourth byte read is still the
// line's. `taps` is the longest span of the scale.
template <class Sink>
PMK_AVX2 void ReduceRowAvx2(const ImageRecord& source, const Span& rows, const Span* columns,
                            std::int32_t end, std::int32_t taps, Sink& sink, float* out) noexcept {
  for (std::int32_t q = 0; q < end; q += 4) {
    ReduceFourColumns(source, rows, columns, q, taps, sink, out);
  }
}

// The same with 512-bit vectors: two output samples to a vector, each in
// its half as the four-column code has it in a whole 256-bit vector (lanes
// 0 .. 3 column j, lanes 4 .. 7 column j + 1), and eight columns' weights in
// one vector. Every lane does the four-column code's operations in its
// order, so every sample is again the scalar loop's.
// (GCC 12's 512-bit conversion and permutation intrinsics warn of their own
// undefined operand, so the vector forms stand in for them below: the same
// instructions.)
PMK_ALWAYS_INLINE PMK_AVX512 __m512d LoadPixelPairAvx512(const std::uint8_t* left,
                                                         const std::uint8_t* right) noexcept {
  std::int32_t low;
  std::int32_t high;
  std::memcpy(&low, left, sizeof low);
  std::memcpy(&high, right, sizeof high);
  const __m128i bytes = _mm_unpacklo_epi32(_mm_cvtsi32_si128(low), _mm_cvtsi32_si128(high));
  using Integers = LaneType<std::int32_t, 8>::Type;
  return __builtin_convertvector(reinterpret_cast<Integers>(_mm256_cvtepu8_epi32(bytes)),
                                 DoubleLanes<8>);
}

// Columns 2 * Pair and 2 * Pair + 1 of an eight-column vector, each spread
// over its half.
template <int Pair>
PMK_ALWAYS_INLINE PMK_AVX512 __m512d PairOf(__m512d v) noexcept {
  constexpr int a = 2 * Pair;
  constexpr int b = 2 * Pair + 1;
  return __builtin_shufflevector(v, v, a, a, a, a, b, b, b, b);
}

// Sums over weights, rounded to single precision as the scalar cast rounds.
PMK_ALWAYS_INLINE PMK_AVX512 void MeansOfPair(float* mean, __m512d sums, __m512d weights) noexcept {
  const Lanes<8> rounded = __builtin_convertvector(_mm512_div_pd(sums, weights), Lanes<8>);
  std::memcpy(mean, &rounded, sizeof rounded);
}

template <class Sink>
PMK_AVX512 void ReduceRowAvx512(const ImageRecord& source, const Span& rows, const Span* columns,
                                std::int32_t end, std::int32_t taps, Sink& sink,
                                float* out) noexcept {
  const __m512d one = _mm512_set1_pd(1.0);
  std::int32_t q = 0;
  for (; q + 8 <= end; q += 8) {
    const Span* span = columns + q;
    std::int32_t first[8];
    std::int32_t last_tap[8];
    for (int j = 0; j < 8; ++j) {
      first[j] = 3 * span[j].first;
      last_tap[j] = span[j].last - span[j].first;
    }
    const __m512d first_weights = _mm512_setr_pd(
        span[0].first_weight, span[1].first_weight, span[2].first_weight, span[3].first_weight,
        span[4].first_weight, span[5].first_weight, span[6].first_weight, span[7].first_weight);
    const __m512d last_taps = _mm512_setr_pd(last_tap[0], last_tap[1], last_tap[2], last_tap[3],
                                             last_tap[4], last_tap[5], last_tap[6], last_tap[7]);
    __m512d sums[4] = {_mm512_setzero_pd(), _mm512_setzero_pd(), _mm512_setzero_pd(),
                       _mm512_setzero_pd()};
    __m512d weights = _mm512_setzero_pd();
    for (std::int32_t yy = rows.first; yy <= rows.last; ++yy) {
      const std::uint8_t* line = source.Row<std::uint8_t>(yy);
      const __m512d row_weight = _mm512_set1_pd(yy == rows.first ? rows.first_weight : 1.0);
      for (std::int32_t k = 0; k < taps; ++k) {
        // 1 where the tap is still inside the span, else +0 (as the AND with
        // 1 gives it).
        const __m512d column_weight =
            k == 0 ? first_weights
                   : _mm512_maskz_mov_pd(
                         _mm512_cmp_pd_mask(_mm512_set1_pd(k), last_taps, _CMP_LE_OQ), one);
        const __m512d w = _mm512_mul_pd(column_weight, row_weight);
        weights = _mm512_add_pd(weights, w);
        const std::uint8_t* pixel[8];
        for (int j = 0; j < 8; ++j) pixel[j] = line + first[j] + 3 * std::min(k, last_tap[j]);
        sums[0] = _mm512_add_pd(
            sums[0], _mm512_mul_pd(PairOf<0>(w), LoadPixelPairAvx512(pixel[0], pixel[1])));
        sums[1] = _mm512_add_pd(
            sums[1], _mm512_mul_pd(PairOf<1>(w), LoadPixelPairAvx512(pixel[2], pixel[3])));
        sums[2] = _mm512_add_pd(
            sums[2], _mm512_mul_pd(PairOf<2>(w), LoadPixelPairAvx512(pixel[4], pixel[5])));
        sums[3] = _mm512_add_pd(
            sums[3], _mm512_mul_pd(PairOf<3>(w), LoadPixelPairAvx512(pixel[6], pixel[7])));
      }
    }
    float mean[4][8];
    MeansOfPair(mean[0], sums[0], PairOf<0>(weights));
    MeansOfPair(mean[1], sums[1], PairOf<1>(weights));
    MeansOfPair(mean[2], sums[2], PairOf<2>(weights));
    MeansOfPair(mean[3], sums[3], PairOf<3>(weights));
    for (int j = 0; j < 4; ++j) {
      sink.Put(out, q + 2 * j, mean[j][0], mean[j][1], mean[j][2]);
      sink.Put(out, q + 2 * j + 1, mean[j][4], mean[j][5], mean[j][6]);
    }
  }
  if (q < end) ReduceFourColumns(source, rows, columns, q, taps, sink, out);
}

template <class Sink>
void Reduce(std::int32_t out_width, std::int32_t first_row, std::int32_t end_row, Sink sink,
            const ImageRecord& source, double a, const Span* column_spans,
            std::int32_t lanes_end = 0, std::int32_t taps = 0, int lane_width = 0) noexcept {
  const std::int32_t width = source.width();
  const std::int32_t height = source.height();
  double y0 = 0.0;
  for (std::int32_t r = 0; r < first_row; ++r) y0 = y0 + a;
  for (std::int32_t r = first_row; r < end_row; ++r) {
    const double y1 = y0 + a;
    const Span rows = ReductionSpan(y0, y1, height);
    float* out = sink.Row(r);
    // The leading columns eight or four at a time (only ever with the spans
    // given, so the walk below never needs s0 for the columns it skips).
    if (lanes_end > 0) {
      if (lane_width == kWidestFloatLanes) {
        ReduceRowAvx512(source, rows, column_spans, lanes_end, taps, sink, out);
      } else {
        ReduceRowAvx2(source, rows, column_spans, lanes_end, taps, sink, out);
      }
    }
    double s0 = 0.0;
    for (std::int32_t q = lanes_end; q < out_width; ++q) {
      const double s1 = s0 + a;
      const Span columns = column_spans != nullptr ? column_spans[q] : ReductionSpan(s0, s1, width);
      double sums[3] = {0.0, 0.0, 0.0};
      double weights = 0.0;
      for (std::int32_t yy = rows.first; yy <= rows.last; ++yy) {
        const std::uint8_t* line = source.Row<std::uint8_t>(yy);
        for (std::int32_t xx = columns.first; xx <= columns.last; ++xx) {
          double w = 1.0;
          if (xx == columns.first) w *= columns.first_weight;
          if (yy == rows.first) w *= rows.first_weight;
          for (int c = Sink::kFirstChannel; c <= Sink::kLastChannel; ++c) {
            sums[c] += w * line[3 * xx + c];
          }
          weights += w;
        }
      }
      sink.Put(out, q, static_cast<float>(sums[0] / weights), static_cast<float>(sums[1] / weights),
               static_cast<float>(sums[2] / weights));
      s0 = s1;
    }
    y0 = y1;
  }
}

// Rows of output resampled as one piece of work on an idle core.
constexpr std::int32_t kBandRows = 64;

std::int32_t Bands(std::int32_t rows) noexcept {
  return (rows + kBandRows - 1) / kBandRows;
}

// The rescaled size, or false when it cannot be described.
bool RescaledSize(const ImageRecord& source, double scale, std::int32_t& width,
                  std::int32_t& height) noexcept {
  const double w = scale * source.width();
  const double h = scale * source.height();
  if (!(w < 2147483648.0) || !(h < 2147483648.0)) return false;
  width = static_cast<std::int32_t>(w);
  height = static_cast<std::int32_t>(h);
  return true;
}

}  // namespace

std::uint8_t FillProductTable(HeapArray<double>& table, std::int32_t row_stride) noexcept {
  if (!table.Allocate(static_cast<std::size_t>(kProductTableRows) * row_stride)) {
    return kResultNoMemory;
  }
  double* rows = table.data();
  std::fill(rows, rows + table.size(), 0.0);
  const double* step = rows + row_stride;
  for (std::int32_t v = 0; v < kProductTableColumns; ++v) rows[row_stride + v] = v * 0.001;
  // Each row adds the first weight step once more rather than multiplying, so
  // the table carries the rounding of repeated addition.
  for (std::int32_t i = 2; i < kProductTableRows; ++i) {
    const double* previous = rows + static_cast<std::ptrdiff_t>(i - 1) * row_stride;
    double* row = rows + static_cast<std::ptrdiff_t>(i) * row_stride;
    for (std::int32_t v = 0; v < kProductTableColumns; ++v) row[v] = previous[v] + step[v];
  }
  return kResultOk;
}

void ResampleToFloat(const double* product_table, ImageRecord& destination,
                     const ImageRecord& source, double scale) noexcept {
  if (source.width() <= 0 || source.height() <= 0) return;
  const double a = 1.0 / scale;
  const ThreeChannelSink sink{destination};
  if (a <= 1.0) {
    Enlarge(product_table, destination.width(), 0, destination.height(), sink, source, a, nullptr);
  } else {
    Reduce(destination.width(), 0, destination.height(), sink, source, a, nullptr);
  }
}

std::uint8_t ResampleToPlanes(ImageRecord& guide, ImageRecord& carrier, const ImageRecord& source,
                              double scale) noexcept {
  std::int32_t width = 0;
  std::int32_t height = 0;
  ResampleWork work;
  if (source.width() <= 0 || source.height() <= 0 || !RescaledSize(source, scale, width, height) ||
      guide.Allocate(width, height, 1, 32) != kResultOk ||
      carrier.Allocate(width, height, 1, 32) != kResultOk ||
      ResampleToPlanes(FloatPlaneOf(guide), FloatPlaneOf(carrier), source, scale, work) !=
          kResultOk) {
    guide.Release();
    carrier.Release();
    return kResultNoMemory;
  }
  return kResultOk;
}

bool RescaledPlaneSize(const ImageRecord& source, double scale, std::int32_t& width,
                       std::int32_t& height) noexcept {
  return source.width() > 0 && source.height() > 0 && RescaledSize(source, scale, width, height);
}

namespace {

template <PlaneContent Content>
std::uint8_t ResampleInto(FloatPlane guide, FloatPlane carrier, std::int32_t width,
                          std::int32_t height, const ImageRecord& source, double scale,
                          ResampleWork& work) noexcept {
  if (source.width() <= 0 || source.height() <= 0 || width <= 0 || height <= 0) return kResultOk;
  const double a = 1.0 / scale;
  const PlaneSink<Content> sink{guide, carrier};
  // The column positions are the same for every row, so they are worked out
  // once, by the same repeated addition the rows use.
  if (a <= 1.0) {
    if ((work.product_table.empty() &&
         FillProductTable(work.product_table, kPaddedProductRow) != kResultOk) ||
        !EnsureCapacity(work.enlarge_columns, static_cast<std::size_t>(width))) {
      return kResultNoMemory;
    }
    ColumnTaps* columns = work.enlarge_columns.data();
    double s = a * 0.5 - 0.5;
    for (std::int32_t q = 0; q < width; ++q, s += a) columns[q] = EnlargeColumn(s, source.width());
    // Each worker keeps the sums of two source rows.
    const std::size_t row_sums = static_cast<std::size_t>(width) * 3;
    std::atomic<bool> failed{false};
    ParallelFor(Bands(height), [&](std::int32_t band, int worker) noexcept {
      HeapArray<double>& sums = work.row_sums[worker];
      if (!EnsureCapacity(sums, 2 * row_sums)) {
        failed.store(true);
        return;
      }
      EnlargeBySourceRows(work.product_table.data(), width, band * kBandRows,
                          std::min((band + 1) * kBandRows, height), sink, source, a, columns,
                          sums.data());
    });
    if (failed.load()) return kResultNoMemory;
  } else {
    if (!EnsureCapacity(work.reduce_columns, static_cast<std::size_t>(width))) {
      return kResultNoMemory;
    }
    Span* columns = work.reduce_columns.data();
    double s0 = 0.0;
    std::int32_t taps = 1;
    std::int32_t lanes_end = 0;
    for (std::int32_t q = 0; q < width; ++q) {
      const double s1 = s0 + a;
      columns[q] = ReductionSpan(s0, s1, source.width());
      taps = std::max(taps, columns[q].last - columns[q].first + 1);
      // Spans only move right, so those that end before the line's last
      // pixel are the leading ones.
      if (columns[q].last < source.width() - 1) lanes_end = (q + 1) / 4 * 4;
      s0 = s1;
    }
    const int lane_width = LaneWidth();
    if (lane_width < kWideFloatLanes) lanes_end = 0;
    ParallelFor(Bands(height), [&](std::int32_t band, int) noexcept {
      Reduce(width, band * kBandRows, std::min((band + 1) * kBandRows, height), sink, source, a,
             columns, lanes_end, taps, lane_width);
    });
  }
  return kResultOk;
}

}  // namespace

std::uint8_t ResampleToPlanes(FloatPlane guide, FloatPlane carrier, const ImageRecord& source,
                              double scale, ResampleWork& work) noexcept {
  return ResampleInto<PlaneContent::kBoth>(guide, carrier, guide.width, guide.height, source, scale,
                                           work);
}

std::uint8_t ResampleToPlane(FloatPlane plane, PlaneContent content, const ImageRecord& source,
                             double scale, ResampleWork& work) noexcept {
  switch (content) {
    case PlaneContent::kGuide:
      return ResampleInto<PlaneContent::kGuide>(plane, {}, plane.width, plane.height, source, scale,
                                                work);
    case PlaneContent::kCarrier:
      return ResampleInto<PlaneContent::kCarrier>({}, plane, plane.width, plane.height, source,
                                                  scale, work);
    case PlaneContent::kBoth:
      break;
  }
  return kResultRefused;
}

std::uint8_t ResampleImage(ImageRecord& destination, const ImageRecord& source,
                           double scale) noexcept {
  std::int32_t width = 0;
  std::int32_t height = 0;
  if (!RescaledSize(source, scale, width, height)) {
    destination.Release();
    return kResultNoMemory;
  }
  const std::uint8_t allocated = destination.Allocate(width, height, 3, 32);
  if (allocated != kResultOk) {
    destination.Release();
    return allocated;
  }
  HeapArray<double> table;
  if (FillProductTable(table) != kResultOk) {
    destination.Release();
    return kResultNoMemory;
  }
  ResampleToFloat(table.data(), destination, source, scale);
  return kResultOk;
}

}  // namespace pmk
