#include "engine/separable_filter.h"

#include <cmath>
#include <cstddef>

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

template <std::size_t N>
void SeparableFilter(float* destination, const float* source, std::int32_t width,
                     std::int32_t height, float* scratch, const float* kernel,
                     double scale) noexcept {
  constexpr auto taps = static_cast<std::int32_t>(N);
  if (width < taps || height < taps) return;
  const std::array<float, N> adapted = AdaptKernel<N>(kernel, scale);
  constexpr std::int32_t half = taps / 2;
  FilterPassTransposed(scratch, source, width, height, adapted.data(), half);
  FilterPassTransposed(destination, scratch, height, width, adapted.data(), half);
}

}  // namespace

std::array<float, 7> AdaptKernel7(const float* kernel, double scale) noexcept {
  return AdaptKernel<7>(kernel, scale);
}

std::array<float, 5> AdaptKernel5(const float* kernel, double scale) noexcept {
  return AdaptKernel<5>(kernel, scale);
}

void FilterPassTransposed(float* out, const float* in, std::int32_t length, std::int32_t rows,
                          const float* taps, std::int32_t half) noexcept {
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
