// The plain form of the separable filters, which the engine's one-sweep
// filters must match sum for sum: one pass along the rows, written
// transposed, then the same pass again.
#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "engine/internal/mark.h"
#include "engine/internal/separable_filter.h"

namespace pmk {

// One pass: row i of the `rows` x `length` input becomes column i of `out`;
// the first and last `half` outputs copy the nearest full one.
inline void FilterPassTransposed(float* out, const float* in, std::int32_t length,
                                 std::int32_t rows, const float* taps, std::int32_t half) noexcept {
  const std::int32_t span = 2 * half + 1;
  const auto column_step = static_cast<std::ptrdiff_t>(rows);
  for (std::int32_t i = 0; i < rows; ++i) {
    const float* row = in + static_cast<std::ptrdiff_t>(i) * length;
    float* column = out + i;
    for (std::int32_t x = half; x <= length - 1 - half; ++x) {
      const float* window = row + (x - half);
      float sum = 0.0f;
      for (std::int32_t k = 0; k < span; ++k) sum += taps[k] * window[k];
      column[x * column_step] = sum;
    }
    const float first = column[half * column_step];
    const float last = column[(length - 1 - half) * column_step];
    for (std::int32_t x = 0; x < half; ++x) {
      column[x * column_step] = first;
      column[(length - 1 - x) * column_step] = last;
    }
  }
}

// The N-tap filter adapted to `scale` as two passes through a whole scratch
// plane.
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

// The Harris response of a tile the plain way: whole planes for the smoothed
// tile, the differences, their products and the smoothed products, each
// step as the corner search describes it, in single precision.
inline std::vector<float> ReferenceResponse(const std::vector<float>& tile, std::int32_t w,
                                            std::int32_t h, double scale) {
  const std::vector<float> t = ReferenceFilter<7>(tile, w, h, kLowPassKernel7.data(), scale);
  std::vector<float> xx(t.size());
  std::vector<float> xy(t.size());
  std::vector<float> yy(t.size());
  for (std::int32_t y = 0; y < h; ++y) {
    for (std::int32_t x = 0; x < w; ++x) {
      const std::int32_t xr = std::min(x, w - 2);
      const std::int32_t yr = std::min(y, h - 2);
      const float ix = t[y * w + xr + 1] - t[y * w + xr];
      const float iy = t[(yr + 1) * w + x] - t[yr * w + x];
      xx[y * w + x] = ix * ix;
      xy[y * w + x] = ix * iy;
      yy[y * w + x] = iy * iy;
    }
  }
  const std::vector<float> sxx = ReferenceFilter<5>(xx, w, h, kSearchKernel5.data(), scale);
  const std::vector<float> sxy = ReferenceFilter<5>(xy, w, h, kSearchKernel5.data(), scale);
  const std::vector<float> syy = ReferenceFilter<5>(yy, w, h, kSearchKernel5.data(), scale);
  std::vector<float> r(t.size());
  for (std::size_t i = 0; i < r.size(); ++i) {
    const float trace = sxx[i] + syy[i];
    r[i] = sxx[i] * syy[i] - sxy[i] * sxy[i] - 0.08f * (trace * trace);
  }
  return r;
}

}  // namespace pmk
