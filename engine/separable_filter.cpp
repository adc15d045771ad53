#include "engine/internal/separable_filter.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstring>

#include "engine/internal/float_lanes.h"
#include "engine/internal/plane_view.h"
#include "engine/internal/spare_cores.h"
#include "image/checked_allocation.h"
#include "image/image_record.h"

namespace pmk {
namespace {

// Linear interpolation of the caller's taps at position p (in taps). Positions
// between -1 and 0 fade tap 0 to nothing; positions at or below -1 give 0.
double InterpolateTap(const float* kernel, double p) noexcept {
  const double f = std::fmax(std::floor(p), -1.0);
  const double c = std::fmax(std::ceil(p), -1.0);
  const auto ci = static_cast<std::int32_t>(c);
  if (f >= 0.0) {
    const auto fi = static_cast<std::int32_t>(f);
    return static_cast<double>(kernel[ci]) * (1.0 - (c - p)) +
           static_cast<double>(kernel[fi]) * (c - p);
  }
  if (ci != -1) return static_cast<double>(kernel[0]) * (1.0 - (c - p));
  return 0.0;
}

template <std::size_t N>
std::array<float, N> AdaptKernel(const float* kernel, double scale) noexcept {
  constexpr std::int32_t q = static_cast<std::int32_t>(N / 2);
  std::array<float, N> out{};
  if (!(scale > kFilterScaleThreshold)) {
    for (std::size_t i = 0; i < N; ++i) out[i] = kernel[i];
    return out;
  }
  for (std::int32_t d = 1; d <= q; ++d) {
    out[q - d] = static_cast<float>(InterpolateTap(kernel, q - d * scale));
  }
  out[q] = kernel[q];
  for (std::int32_t d = 1; d <= q; ++d) out[q + d] = out[q - d];
  float sum = 0.0f;
  for (std::size_t i = 0; i < N; ++i) sum += out[i];
  for (std::size_t i = 0; i < N; ++i) out[i] = out[i] / sum;
  return out;
}

// Full sums of a row pass from x on while blocks of N outputs fit before
// `last`, then a block of each narrower width that fits; returns where the
// blocks stopped.
template <std::int32_t Taps, int N>
PMK_ALWAYS_INLINE std::int32_t FilterRowBlocks(float* out, const float* in, std::int32_t x,
                                               std::int32_t last, const float* taps) noexcept {
  constexpr std::int32_t half = Taps / 2;
  // The taps live in registers: `out` could alias them as far as the compiler
  // knows, which would reload every tap for every block.
  Lanes<N> tap[Taps];
  for (std::int32_t k = 0; k < Taps; ++k) tap[k] = BroadcastLanesOf<N>(taps[k]);
  for (; x + N - 1 <= last; x += N) {
    Lanes<N> sum = BroadcastLanesOf<N>(0.0f);
#pragma GCC unroll 7
    for (std::int32_t k = 0; k < Taps; ++k) sum += tap[k] * LoadLanesOf<N>(in + x - half + k);
    StoreLanesOf<N>(out + x, sum);
  }
  if constexpr (N > kFloatLanes) return FilterRowBlocks<Taps, N / 2>(out, in, x, last, taps);
  return x;
}

// One horizontal pass over a row: the full sums from `half` to
// length - 1 - half, N at a time where possible, then the edge copies.
template <std::int32_t Taps, int N>
PMK_ALWAYS_INLINE void FilterRowLanes(float* out, const float* in, std::int32_t length,
                                      const float* taps) noexcept {
  constexpr std::int32_t half = Taps / 2;
  const std::int32_t last = length - 1 - half;
  std::int32_t x = FilterRowBlocks<Taps, N>(out, in, half, last, taps);
  for (; x <= last; ++x) {
    float sum = 0.0f;
    for (std::int32_t k = 0; k < Taps; ++k) sum += taps[k] * in[x - half + k];
    out[x] = sum;
  }
  for (std::int32_t i = 0; i < half; ++i) {
    out[i] = out[half];
    out[length - 1 - i] = out[last];
  }
}

// Columns of one output row of the vertical pass from x on, N at a time
// while they fit, then narrower; returns where the blocks stopped.
template <std::int32_t Taps, int N>
PMK_ALWAYS_INLINE std::int32_t FilterColumnBlocks(float* out, const float* const* rows,
                                                  std::int32_t x, std::int32_t width,
                                                  const float* taps) noexcept {
  // Taps and row addresses in registers, for the reason the row pass gives.
  Lanes<N> tap[Taps];
  const float* row[Taps];
  for (std::int32_t k = 0; k < Taps; ++k) {
    tap[k] = BroadcastLanesOf<N>(taps[k]);
    row[k] = rows[k];
  }
  for (; x + N <= width; x += N) {
    Lanes<N> sum = BroadcastLanesOf<N>(0.0f);
#pragma GCC unroll 7
    for (std::int32_t k = 0; k < Taps; ++k) sum += tap[k] * LoadLanesOf<N>(row[k] + x);
    StoreLanesOf<N>(out + x, sum);
  }
  if constexpr (N > kFloatLanes) {
    return FilterColumnBlocks<Taps, N / 2>(out, rows, x, width, taps);
  }
  return x;
}

// One output row of the vertical pass: rows[k] is the horizontally filtered
// row k - half above (or below) the output row.
template <std::int32_t Taps, int N>
PMK_ALWAYS_INLINE void FilterColumnsLanes(float* out, const float* const* rows, std::int32_t width,
                                          const float* taps) noexcept {
  for (std::int32_t x = FilterColumnBlocks<Taps, N>(out, rows, 0, width, taps); x < width; ++x) {
    float sum = 0.0f;
    for (std::int32_t k = 0; k < Taps; ++k) sum += taps[k] * rows[k][x];
    out[x] = sum;
  }
}

template <std::int32_t Taps>
PMK_AVX2 void FilterRowAvx2(float* out, const float* in, std::int32_t length,
                            const float* taps) noexcept {
  FilterRowLanes<Taps, kWideFloatLanes>(out, in, length, taps);
}

template <std::int32_t Taps>
PMK_AVX2 void FilterColumnsAvx2(float* out, const float* const* rows, std::int32_t width,
                                const float* taps) noexcept {
  FilterColumnsLanes<Taps, kWideFloatLanes>(out, rows, width, taps);
}

template <std::int32_t Taps>
PMK_AVX512 void FilterRowAvx512(float* out, const float* in, std::int32_t length,
                                const float* taps) noexcept {
  FilterRowLanes<Taps, kWidestFloatLanes>(out, in, length, taps);
}

template <std::int32_t Taps>
PMK_AVX512 void FilterColumnsAvx512(float* out, const float* const* rows, std::int32_t width,
                                    const float* taps) noexcept {
  FilterColumnsLanes<Taps, kWidestFloatLanes>(out, rows, width, taps);
}

template <std::int32_t Taps>
void FilterRow(float* out, const float* in, std::int32_t length, const float* taps) noexcept {
  switch (LaneWidth()) {
    case kWidestFloatLanes:
      FilterRowAvx512<Taps>(out, in, length, taps);
      break;
    case kWideFloatLanes:
      FilterRowAvx2<Taps>(out, in, length, taps);
      break;
    default:
      FilterRowLanes<Taps, kFloatLanes>(out, in, length, taps);
  }
}

template <std::int32_t Taps>
void FilterColumns(float* out, const float* const* rows, std::int32_t width,
                   const float* taps) noexcept {
  switch (LaneWidth()) {
    case kWidestFloatLanes:
      FilterColumnsAvx512<Taps>(out, rows, width, taps);
      break;
    case kWideFloatLanes:
      FilterColumnsAvx2<Taps>(out, rows, width, taps);
      break;
    default:
      FilterColumnsLanes<Taps, kFloatLanes>(out, rows, width, taps);
  }
}

}  // namespace

void FilterRow7(float* out, const float* in, std::int32_t length, const float* taps) noexcept {
  FilterRow<7>(out, in, length, taps);
}

void FilterRow5(float* out, const float* in, std::int32_t length, const float* taps) noexcept {
  FilterRow<5>(out, in, length, taps);
}

void FilterColumns7(float* out, const float* const* rows, std::int32_t width,
                    const float* taps) noexcept {
  FilterColumns<7>(out, rows, width, taps);
}

void FilterColumns5(float* out, const float* const* rows, std::int32_t width,
                    const float* taps) noexcept {
  FilterColumns<5>(out, rows, width, taps);
}

namespace {

// Both passes in one sweep down the plane. The horizontal pass of each row
// goes into a ring of `Taps` rows in the scratch buffer; as soon as the ring
// holds the rows an output row needs, that row is written. Each output is the
// same sum, in the same tap order, as two transposed passes would give, but
// the plane is read and written once, and a destination that is the source is
// only overwritten where the source has already been consumed.
template <std::int32_t Taps>
void FilterPlane(float* destination, const float* source, std::int32_t width, std::int32_t height,
                 float* ring, const float* taps) noexcept {
  constexpr std::int32_t half = Taps / 2;
  const auto row_at = [width](auto* plane, std::int32_t y) {
    return plane + static_cast<std::ptrdiff_t>(y) * width;
  };
  const auto ring_row = [&](std::int32_t y) { return row_at(ring, y % Taps); };
  for (std::int32_t y = 0; y < Taps - 1; ++y) {
    FilterRow<Taps>(ring_row(y), row_at(source, y), width, taps);
  }
  for (std::int32_t y = half; y <= height - 1 - half; ++y) {
    FilterRow<Taps>(ring_row(y + half), row_at(source, y + half), width, taps);
    const float* rows[Taps];
    for (std::int32_t k = 0; k < Taps; ++k) rows[k] = ring_row(y - half + k);
    FilterColumns<Taps>(row_at(destination, y), rows, width, taps);
  }
  // The first and last rows repeat the nearest full output row.
  const std::size_t row_bytes = static_cast<std::size_t>(width) * sizeof(float);
  for (std::int32_t i = 0; i < half; ++i) {
    std::memcpy(row_at(destination, i), row_at(destination, half), row_bytes);
    std::memcpy(row_at(destination, height - 1 - i), row_at(destination, height - 1 - half),
                row_bytes);
  }
}

template <std::size_t N>
void SeparableFilter(float* destination, const float* source, std::int32_t width,
                     std::int32_t height, float* scratch, const float* kernel,
                     double scale) noexcept {
  constexpr auto taps = static_cast<std::int32_t>(N);
  if (width < taps || height < taps) return;
  const std::array<float, N> adapted = AdaptKernel<N>(kernel, scale);
  FilterPlane<taps>(destination, source, width, height, scratch, adapted.data());
}

// Rows of full output given to one band at least, when a plane is split.
constexpr std::int32_t kLeastBandRows = 64;
constexpr std::int32_t kMostBands = 32;

}  // namespace

std::uint8_t SeparableFilter7InBands(float* plane, std::int32_t width, std::int32_t height,
                                     const float* kernel, double scale) noexcept {
  HeapArray<float> buffers;
  return SeparableFilter7InBands(plane, width, height, kernel, scale, buffers);
}

std::uint8_t SeparableFilter7InBands(float* plane, std::int32_t width, std::int32_t height,
                                     const float* kernel, double scale,
                                     HeapArray<float>& buffers) noexcept {
  constexpr std::int32_t kTaps = 7;
  constexpr std::int32_t half = kTaps / 2;
  if (width < kTaps || height < kTaps) return kResultOk;
  const std::array<float, kTaps> taps = AdaptKernel<kTaps>(kernel, scale);
  const float* t = taps.data();

  // Rows half .. height - 1 - half have full outputs; they are cut into
  // bands, two or so per core that could take one.
  const std::int32_t full_rows = height - 2 * half;
  const std::int32_t bands = std::clamp(std::min(full_rows / kLeastBandRows, 2 * (IdleCores() + 1)),
                                        std::int32_t{1}, kMostBands);
  // Per band: a ring of filtered rows and the filtered rows just below the
  // band, which the next band overwrites.
  const std::size_t ring_floats = FilterScratchFloats(width, kTaps);
  const std::size_t tail_floats = FilterScratchFloats(width, half);
  if (!EnsureCapacity(buffers, (ring_floats + tail_floats) * static_cast<std::size_t>(bands))) {
    return kResultNoMemory;
  }
  const auto band_rows = [&](std::int32_t b, std::int32_t& first, std::int32_t& end) {
    first = half + static_cast<std::int32_t>(static_cast<std::int64_t>(full_rows) * b / bands);
    end = half + static_cast<std::int32_t>(static_cast<std::int64_t>(full_rows) * (b + 1) / bands);
  };
  const auto row_at = [width](float* p, std::int32_t y) {
    return p + static_cast<std::ptrdiff_t>(y) * width;
  };
  const auto ring_of = [&](std::int32_t b) {
    return buffers.data() + static_cast<std::size_t>(b) * (ring_floats + tail_floats);
  };
  const auto tail_of = [&](std::int32_t b) { return ring_of(b) + ring_floats; };

  // First every band filters, along the rows, what it needs from beyond its
  // own rows, while every row is still the source...
  ParallelFor(bands, [&](std::int32_t b, int) noexcept {
    std::int32_t first = 0;
    std::int32_t end = 0;
    band_rows(b, first, end);
    float* ring = ring_of(b);
    for (std::int32_t y = first - half; y < first + half; ++y) {
      FilterRow<kTaps>(row_at(ring, y % kTaps), row_at(plane, y), width, t);
    }
    for (std::int32_t i = 0; i < half; ++i) {
      FilterRow<kTaps>(row_at(tail_of(b), i), row_at(plane, end + i), width, t);
    }
  });
  // ...then each band sweeps its own rows, overwriting only rows it has read.
  ParallelFor(bands, [&](std::int32_t b, int) noexcept {
    std::int32_t first = 0;
    std::int32_t end = 0;
    band_rows(b, first, end);
    float* ring = ring_of(b);
    for (std::int32_t y = first; y < end; ++y) {
      const std::int32_t below = y + half;
      float* filtered = row_at(ring, below % kTaps);
      if (below < end) {
        FilterRow<kTaps>(filtered, row_at(plane, below), width, t);
      } else {
        std::memcpy(filtered, row_at(tail_of(b), below - end),
                    static_cast<std::size_t>(width) * sizeof(float));
      }
      const float* rows[kTaps];
      for (std::int32_t k = 0; k < kTaps; ++k) rows[k] = row_at(ring, (y - half + k) % kTaps);
      FilterColumns<kTaps>(row_at(plane, y), rows, width, t);
    }
  });
  const std::size_t row_bytes = static_cast<std::size_t>(width) * sizeof(float);
  for (std::int32_t i = 0; i < half; ++i) {
    std::memcpy(row_at(plane, i), row_at(plane, half), row_bytes);
    std::memcpy(row_at(plane, height - 1 - i), row_at(plane, height - 1 - half), row_bytes);
  }
  return kResultOk;
}

std::array<float, 7> AdaptKernel7(const float* kernel, double scale) noexcept {
  return AdaptKernel<7>(kernel, scale);
}

std::array<float, 5> AdaptKernel5(const float* kernel, double scale) noexcept {
  return AdaptKernel<5>(kernel, scale);
}

void SeparableFilter7(float* destination, const float* source, std::int32_t width,
                      std::int32_t height, float* scratch, const float* kernel,
                      double scale) noexcept {
  SeparableFilter<7>(destination, source, width, height, scratch, kernel, scale);
}

void SeparableFilter5(float* destination, const float* source, std::int32_t width,
                      std::int32_t height, float* scratch, const float* kernel,
                      double scale) noexcept {
  SeparableFilter<5>(destination, source, width, height, scratch, kernel, scale);
}

}  // namespace pmk
