#include "engine/internal/corner_response.h"

#include <algorithm>
#include <cstring>

#include "engine/internal/float_lanes.h"
#include "engine/internal/separable_filter.h"

namespace pmk {
namespace {

// Ix = row[x + 1] - row[x] from x on, N at a time while they fit before
// `end`, then narrower; returns where the blocks stopped.
template <int N>
PMK_ALWAYS_INLINE std::int32_t DifferenceBlocks(const float* row, std::int32_t x, std::int32_t end,
                                                float* ix) noexcept {
  for (; x + N <= end; x += N) {
    StoreLanesOf<N>(ix + x, LoadLanesOf<N>(row + x + 1) - LoadLanesOf<N>(row + x));
  }
  if constexpr (N > kFloatLanes) return DifferenceBlocks<N / 2>(row, x, end, ix);
  return x;
}

// Iy and the three products from x on, in the same blocks.
template <int N>
PMK_ALWAYS_INLINE std::int32_t ProductBlocks(const float* upper, const float* lower, std::int32_t x,
                                             std::int32_t end, float* ix, float* iy,
                                             float* ixy) noexcept {
  for (; x + N <= end; x += N) {
    const Lanes<N> dx = LoadLanesOf<N>(ix + x);
    const Lanes<N> dy = LoadLanesOf<N>(lower + x) - LoadLanesOf<N>(upper + x);
    StoreLanesOf<N>(ixy + x, dx * dy);
    StoreLanesOf<N>(ix + x, dx * dx);
    StoreLanesOf<N>(iy + x, dy * dy);
  }
  if constexpr (N > kFloatLanes) return ProductBlocks<N / 2>(upper, lower, x, end, ix, iy, ixy);
  return x;
}

// The differences of one smoothed row, Ix along `row` and Iy from `upper`
// to `lower`, turned into their products Ix·Ix, Ix·Iy, Iy·Iy. The last Ix of
// the row repeats the one before it.
template <int N>
PMK_ALWAYS_INLINE void ProductsOfRow(const float* row, const float* upper, const float* lower,
                                     std::int32_t w, float* ix, float* iy, float* ixy) noexcept {
  std::int32_t x = DifferenceBlocks<N>(row, 0, w - 1, ix);
  for (; x < w - 1; ++x) ix[x] = row[x + 1] - row[x];
  ix[w - 1] = ix[w - 2];
  for (x = ProductBlocks<N>(upper, lower, 0, w, ix, iy, ixy); x < w; ++x) {
    const float dx = ix[x];
    const float dy = lower[x] - upper[x];
    ixy[x] = dx * dy;
    ix[x] = dx * dx;
    iy[x] = dy * dy;
  }
}

// The 5-tap pass down the columns of the three products, then
// R = Sxx Syy - Sxy^2 - k (Sxx + Syy)^2 in single precision, without
// keeping the smoothed products, from x on, N at a time while they fit,
// then narrower; returns where the blocks stopped. xx[k] is a row of the
// first product; the same row of the others lies `xy_offset` and
// `yy_offset` floats on.
template <int N>
PMK_ALWAYS_INLINE std::int32_t ResponseBlocks(const float* const* xx, std::ptrdiff_t xy_offset,
                                              std::ptrdiff_t yy_offset, std::int32_t x,
                                              std::int32_t w, const float* taps,
                                              float* response) noexcept {
  // Taps and row addresses in registers: `response` could alias them as far
  // as the compiler knows.
  Lanes<N> tap[5];
  const float* row[5];
  for (int k = 0; k < 5; ++k) {
    tap[k] = BroadcastLanesOf<N>(taps[k]);
    row[k] = xx[k];
  }
  for (; x + N <= w; x += N) {
    Lanes<N> sxx = BroadcastLanesOf<N>(0.0f);
    Lanes<N> sxy = BroadcastLanesOf<N>(0.0f);
    Lanes<N> syy = BroadcastLanesOf<N>(0.0f);
#pragma GCC unroll 5
    for (int k = 0; k < 5; ++k) {
      sxx += tap[k] * LoadLanesOf<N>(row[k] + x);
      sxy += tap[k] * LoadLanesOf<N>(row[k] + xy_offset + x);
      syy += tap[k] * LoadLanesOf<N>(row[k] + yy_offset + x);
    }
    const Lanes<N> trace = sxx + syy;
    StoreLanesOf<N>(response + x, sxx * syy - sxy * sxy - kHarrisK * (trace * trace));
  }
  if constexpr (N > kFloatLanes) {
    return ResponseBlocks<N / 2>(xx, xy_offset, yy_offset, x, w, taps, response);
  }
  return x;
}

template <int N>
PMK_ALWAYS_INLINE void ResponseOfRow(const float* const* xx, std::ptrdiff_t xy_offset,
                                     std::ptrdiff_t yy_offset, std::int32_t w, const float* taps,
                                     float* response) noexcept {
  for (std::int32_t x = ResponseBlocks<N>(xx, xy_offset, yy_offset, 0, w, taps, response); x < w;
       ++x) {
    float sxx = 0.0f;
    float sxy = 0.0f;
    float syy = 0.0f;
    for (int k = 0; k < 5; ++k) {
      sxx += taps[k] * xx[k][x];
      sxy += taps[k] * xx[k][xy_offset + x];
      syy += taps[k] * xx[k][yy_offset + x];
    }
    const float trace = sxx + syy;
    response[x] = sxx * syy - sxy * sxy - kHarrisK * (trace * trace);
  }
}

// A source row brought into the clamp's range (SampleClamp::Copy, N samples
// at a time, then narrower).
template <int N>
PMK_ALWAYS_INLINE std::int32_t ClampBlocks(float* out, const float* in, std::int32_t x,
                                           std::int32_t count, const SampleClamp& clamp) noexcept {
  const Lanes<N> low = BroadcastLanesOf<N>(clamp.low);
  const Lanes<N> high = BroadcastLanesOf<N>(clamp.high);
  for (; x + N <= count; x += N) {
    Lanes<N> v = LoadLanesOf<N>(in + x);
    v = v < low ? low : v;
    v = v >= high ? high : v;
    StoreLanesOf<N>(out + x, v);
  }
  if constexpr (N > kFloatLanes) return ClampBlocks<N / 2>(out, in, x, count, clamp);
  return x;
}

template <int N>
PMK_ALWAYS_INLINE void ClampRow(float* out, const float* in, std::int32_t count,
                                const SampleClamp& clamp) noexcept {
  const std::int32_t x = ClampBlocks<N>(out, in, 0, count, clamp);
  clamp.Copy(out + x, in + x, count - x);
}

PMK_AVX2 void ProductsOfRowAvx2(const float* row, const float* upper, const float* lower,
                                std::int32_t w, float* ix, float* iy, float* ixy) noexcept {
  ProductsOfRow<kWideFloatLanes>(row, upper, lower, w, ix, iy, ixy);
}

PMK_AVX2 void ResponseOfRowAvx2(const float* const* xx, std::ptrdiff_t xy_offset,
                                std::ptrdiff_t yy_offset, std::int32_t w, const float* taps,
                                float* response) noexcept {
  ResponseOfRow<kWideFloatLanes>(xx, xy_offset, yy_offset, w, taps, response);
}

PMK_AVX2 void ClampRowAvx2(float* out, const float* in, std::int32_t count,
                           const SampleClamp& clamp) noexcept {
  ClampRow<kWideFloatLanes>(out, in, count, clamp);
}

PMK_AVX512 void ProductsOfRowAvx512(const float* row, const float* upper, const float* lower,
                                    std::int32_t w, float* ix, float* iy, float* ixy) noexcept {
  ProductsOfRow<kWidestFloatLanes>(row, upper, lower, w, ix, iy, ixy);
}

PMK_AVX512 void ResponseOfRowAvx512(const float* const* xx, std::ptrdiff_t xy_offset,
                                    std::ptrdiff_t yy_offset, std::int32_t w, const float* taps,
                                    float* response) noexcept {
  ResponseOfRow<kWidestFloatLanes>(xx, xy_offset, yy_offset, w, taps, response);
}

PMK_AVX512 void ClampRowAvx512(float* out, const float* in, std::int32_t count,
                               const SampleClamp& clamp) noexcept {
  ClampRow<kWidestFloatLanes>(out, in, count, clamp);
}

// The row a full output row stands for: the first and last `half` rows of a
// vertical pass copy the nearest full one.
std::int32_t FullRow(std::int32_t y, std::int32_t half, std::int32_t height) noexcept {
  return std::clamp(y, half, height - 1 - half);
}

}  // namespace

ResponseRows::ResponseRows(const TileSource& source, double scale, float* work) noexcept
    : source_(source),
      taps7_(AdaptKernel7(kLowPassKernel7.data(), scale)),
      taps5_(AdaptKernel5(kSearchKernel5.data(), scale)) {
  const std::int32_t w = source.width;
  const auto take = [&work, w](std::int32_t rows) {
    float* taken = work;
    work += static_cast<std::ptrdiff_t>(rows) * w;
    return taken;
  };
  clamped_ = take(1);
  ix_ = take(1);
  iy_ = take(1);
  ixy_ = take(1);
  across7_ = {take(7), 7, 0};
  smoothed_ = {take(2), 2, 0};
  across_xx_ = {take(5), 5, 0};
  across_xy_ = {take(5), 5, 0};
  across_yy_ = {take(5), 5, 0};
  response_ = {take(3), 3, 0};
}

// Each stage makes the rows it is asked for from the rows of the stage
// before it, which it asks for first; every ring is as deep as one request.
void ResponseRows::MakeSmoothedInputRows(std::int32_t first, std::int32_t last) noexcept {
  const std::int32_t w = source_.width;
  across7_.Fill(first, last, [&](std::int32_t y) {
    const float* samples = source_.first + y * source_.stride;
    switch (LaneWidth()) {
      case kWidestFloatLanes:
        ClampRowAvx512(clamped_, samples, w, source_.clamp);
        break;
      case kWideFloatLanes:
        ClampRowAvx2(clamped_, samples, w, source_.clamp);
        break;
      default:
        source_.clamp.Copy(clamped_, samples, w);
    }
    FilterRow7(across7_.At(y, w), clamped_, w, taps7_.data());
  });
}

void ResponseRows::MakeSmoothedRows(std::int32_t first, std::int32_t last) noexcept {
  const std::int32_t w = source_.width;
  smoothed_.Fill(first, last, [&](std::int32_t y) {
    MakeSmoothedInputRows(y - 3, y + 3);
    const float* rows[7];
    for (std::int32_t k = 0; k < 7; ++k) rows[k] = across7_.At(y - 3 + k, w);
    FilterColumns7(smoothed_.At(y, w), rows, w, taps7_.data());
  });
}

void ResponseRows::MakeProductRows(std::int32_t first, std::int32_t last) noexcept {
  const std::int32_t w = source_.width;
  const std::int32_t h = source_.height;
  across_xx_.Fill(first, last, [&](std::int32_t y) {
    // The last row's Iy repeats the one of the row above it.
    const std::int32_t upper = std::min(y, h - 2);
    const std::int32_t upper_full = FullRow(upper, 3, h);
    const std::int32_t lower_full = FullRow(upper + 1, 3, h);
    MakeSmoothedRows(upper_full, lower_full);
    const float* row = smoothed_.At(FullRow(y, 3, h), w);
    const float* above = smoothed_.At(upper_full, w);
    const float* below = smoothed_.At(lower_full, w);
    switch (LaneWidth()) {
      case kWidestFloatLanes:
        ProductsOfRowAvx512(row, above, below, w, ix_, iy_, ixy_);
        break;
      case kWideFloatLanes:
        ProductsOfRowAvx2(row, above, below, w, ix_, iy_, ixy_);
        break;
      default:
        ProductsOfRow<kFloatLanes>(row, above, below, w, ix_, iy_, ixy_);
    }
    FilterRow5(across_xx_.At(y, w), ix_, w, taps5_.data());
    FilterRow5(across_xy_.At(y, w), ixy_, w, taps5_.data());
    FilterRow5(across_yy_.At(y, w), iy_, w, taps5_.data());
  });
}

void ResponseRows::MakeResponseRows(std::int32_t first, std::int32_t last) noexcept {
  const std::int32_t w = source_.width;
  response_.Fill(first, last, [&](std::int32_t y) {
    MakeProductRows(y - 2, y + 2);
    const float* xx[5];
    for (std::int32_t k = 0; k < 5; ++k) xx[k] = across_xx_.At(y - 2 + k, w);
    const std::ptrdiff_t xy_offset = across_xy_.rows - across_xx_.rows;
    const std::ptrdiff_t yy_offset = across_yy_.rows - across_xx_.rows;
    float* response = response_.At(y, w);
    switch (LaneWidth()) {
      case kWidestFloatLanes:
        ResponseOfRowAvx512(xx, xy_offset, yy_offset, w, taps5_.data(), response);
        break;
      case kWideFloatLanes:
        ResponseOfRowAvx2(xx, xy_offset, yy_offset, w, taps5_.data(), response);
        break;
      default:
        ResponseOfRow<kFloatLanes>(xx, xy_offset, yy_offset, w, taps5_.data(), response);
    }
  });
}

const float* ResponseRows::Row(std::int32_t y) noexcept {
  const std::int32_t full = FullRow(y, 2, source_.height);
  MakeResponseRows(full, full);
  return response_.At(full, source_.width);
}

void ResponseRows::Around(std::int32_t y, const float*& above, const float*& here,
                          const float*& below) noexcept {
  const std::int32_t h = source_.height;
  const std::int32_t w = source_.width;
  MakeResponseRows(FullRow(y - 1, 2, h), FullRow(y + 1, 2, h));
  above = response_.At(FullRow(y - 1, 2, h), w);
  here = response_.At(FullRow(y, 2, h), w);
  below = response_.At(FullRow(y + 1, 2, h), w);
}

}  // namespace pmk
