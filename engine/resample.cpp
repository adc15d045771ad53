#include "engine/resample.h"

#include <algorithm>
#include <cmath>

namespace pmk {
namespace {

constexpr std::int32_t kWeightSteps = kProductTableRows - 1;

// Bilinear taps from the product table; every output sample is four lookups.
void Enlarge(const double* table, ImageRecord& destination, const ImageRecord& source,
             double a) noexcept {
  const std::int32_t width = source.width();
  const std::int32_t height = source.height();
  const std::int32_t out_width = destination.width();
  const std::int32_t out_height = destination.height();
  double y = a * 0.5 - 0.5;
  for (std::int32_t r = 0; r < out_height; ++r, y += a) {
    const std::int32_t y0 =
        std::min(std::max(static_cast<std::int32_t>(std::floor(y)), 0), height - 1);
    const std::int32_t y1 = std::min(y0 + 1, height - 1);
    // Not clamped: above the first source row the top rows are extrapolated.
    const double fy = y - y0;
    const std::uint8_t* upper = source.Row<std::uint8_t>(y0);
    const std::uint8_t* lower = source.Row<std::uint8_t>(y1);
    float* out = destination.Row<float>(r);
    double s = a * 0.5 - 0.5;
    for (std::int32_t q = 0; q < out_width; ++q, s += a) {
      const std::int32_t s0 =
          std::min(std::max(static_cast<std::int32_t>(std::floor(s)), 0), width - 1);
      const std::int32_t s1 = std::min(s0 + 1, width - 1);
      double fs = s - s0;
      if (!(fs > 0.0)) fs = 0.0;
      const std::int32_t n = std::min(static_cast<std::int32_t>(fs * 1000.0 + 0.5), kWeightSteps);
      const double* near_weight = table + static_cast<std::ptrdiff_t>(kWeightSteps - n) * 256;
      const double* far_weight = table + static_cast<std::ptrdiff_t>(n) * 256;
      const std::uint8_t* tl = upper + 3 * s0;
      const std::uint8_t* tr = upper + 3 * s1;
      const std::uint8_t* bl = lower + 3 * s0;
      const std::uint8_t* br = lower + 3 * s1;
      for (int c = 0; c < 3; ++c) {
        const double value = (near_weight[tl[c]] + far_weight[tr[c]]) * (1.0 - fy) +
                             (far_weight[br[c]] + near_weight[bl[c]]) * fy;
        out[3 * q + c] = static_cast<float>(value);
      }
    }
  }
}

// The span of source samples one output sample covers when reducing. The last
// source sample of the line is never taken; a span that would end up empty
// (only through rounding at factors very close to 1) keeps its first sample.
struct Span {
  std::int32_t first;
  std::int32_t last;  // inclusive
  double first_weight;
};

Span ReductionSpan(double start, double end, std::int32_t length) noexcept {
  const double floor_start = std::floor(start);
  Span span;
  span.first = std::min(static_cast<std::int32_t>(floor_start), length - 1);
  span.last = std::min(static_cast<std::int32_t>(std::ceil(end)), length - 1) - 1;
  if (span.last < span.first) span.last = span.first;
  span.first_weight = 1.0 - (start - floor_start);
  return span;
}

void Reduce(ImageRecord& destination, const ImageRecord& source, double a) noexcept {
  const std::int32_t width = source.width();
  const std::int32_t height = source.height();
  const std::int32_t out_width = destination.width();
  const std::int32_t out_height = destination.height();
  double y0 = 0.0;
  for (std::int32_t r = 0; r < out_height; ++r) {
    const double y1 = y0 + a;
    const Span rows = ReductionSpan(y0, y1, height);
    float* out = destination.Row<float>(r);
    double s0 = 0.0;
    for (std::int32_t q = 0; q < out_width; ++q) {
      const double s1 = s0 + a;
      const Span columns = ReductionSpan(s0, s1, width);
      double sums[3] = {0.0, 0.0, 0.0};
      double weights = 0.0;
      for (std::int32_t yy = rows.first; yy <= rows.last; ++yy) {
        const std::uint8_t* line = source.Row<std::uint8_t>(yy);
        for (std::int32_t xx = columns.first; xx <= columns.last; ++xx) {
          double w = 1.0;
          if (xx == columns.first) w *= columns.first_weight;
          if (yy == rows.first) w *= rows.first_weight;
          for (int c = 0; c < 3; ++c) sums[c] += w * line[3 * xx + c];
          weights += w;
        }
      }
      for (int c = 0; c < 3; ++c) out[3 * q + c] = static_cast<float>(sums[c] / weights);
      s0 = s1;
    }
    y0 = y1;
  }
}

}  // namespace

std::uint8_t FillProductTable(HeapArray<double>& table) noexcept {
  if (!table.Allocate(static_cast<std::size_t>(kProductTableRows) * kProductTableColumns)) {
    return kResultNoMemory;
  }
  double* rows = table.data();
  for (std::int32_t v = 0; v < kProductTableColumns; ++v) {
    rows[v] = 0.0;
    rows[kProductTableColumns + v] = v * 0.001;
  }
  // Each row adds the first weight step once more rather than multiplying, so
  // the table carries the rounding of repeated addition.
  for (std::int32_t i = 2; i < kProductTableRows; ++i) {
    const double* previous = rows + static_cast<std::ptrdiff_t>(i - 1) * kProductTableColumns;
    const double* step = rows + kProductTableColumns;
    double* row = rows + static_cast<std::ptrdiff_t>(i) * kProductTableColumns;
    for (std::int32_t v = 0; v < kProductTableColumns; ++v) row[v] = previous[v] + step[v];
  }
  return kResultOk;
}

void ResampleToFloat(const double* product_table, ImageRecord& destination,
                     const ImageRecord& source, double scale) noexcept {
  if (source.width() <= 0 || source.height() <= 0) return;
  const double a = 1.0 / scale;
  if (a <= 1.0) {
    Enlarge(product_table, destination, source, a);
  } else {
    Reduce(destination, source, a);
  }
}

std::uint8_t ResampleImage(ImageRecord& destination, const ImageRecord& source,
                           double scale) noexcept {
  const double width = scale * source.width();
  const double height = scale * source.height();
  if (!(width < 2147483648.0) || !(height < 2147483648.0)) {
    destination.Release();
    return kResultNoMemory;
  }
  const std::uint8_t allocated = destination.Allocate(static_cast<std::int32_t>(width),
                                                      static_cast<std::int32_t>(height), 3, 32);
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
