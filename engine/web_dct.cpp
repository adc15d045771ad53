#include "engine/internal/web_dct.h"

#include <algorithm>
#include <cmath>
#include <cstddef>

namespace pmk::web {
namespace {

constexpr double kPi = 3.141592653589793;
constexpr auto kSide = static_cast<std::size_t>(kCanonicalSide);
constexpr auto kEdge = static_cast<std::size_t>(kBandEdge);

}  // namespace

bool DctRows(HeapArray<double>& rows) noexcept {
  if (!rows.Allocate(kEdge * kSide)) return false;
  for (std::size_t u = 0; u < kEdge; ++u) {
    const double scale = u == 0 ? std::sqrt(1.0 / kSide) : std::sqrt(2.0 / kSide);
    for (std::size_t x = 0; x < kSide; ++x) {
      rows[u * kSide + x] =
          scale * std::cos(kPi * (static_cast<double>(x) + 0.5) * static_cast<double>(u) / kSide);
    }
  }
  return true;
}

bool AxisOperator(const HeapArray<double>& rows, const AxisTaps& taps, std::int32_t sources,
                  HeapArray<double>& op) noexcept {
  const auto n = static_cast<std::size_t>(sources);
  if (!op.Allocate(kEdge * n)) return false;
  std::fill(op.begin(), op.end(), 0.0);
  for (std::size_t u = 0; u < kEdge; ++u) {
    double* out = op.data() + u * n;
    for (std::size_t o = 0; o < kSide; ++o) {
      const double c = rows[u * kSide + o];
      const float* w = taps.weights.data() + taps.offset[o];
      const std::int32_t first = taps.first[o];
      for (std::int32_t k = 0; k < taps.count[o]; ++k) out[first + k] += c * w[k];
    }
  }
  return true;
}

void BlockOf(const FloatPlane& plane, const double* down, const double* across, double* scratch,
             double* block) noexcept {
  const auto width = static_cast<std::size_t>(plane.width);
  const auto height = static_cast<std::size_t>(plane.height);
  std::fill(scratch, scratch + kEdge * width, 0.0);
  for (std::size_t u = 0; u < kEdge; ++u) {
    double* t = scratch + u * width;
    const double* d = down + u * height;
    for (std::size_t y = 0; y < height; ++y) {
      const double c = d[y];
      if (c == 0.0) continue;
      const float* row = plane.Row(static_cast<std::int32_t>(y));
      for (std::size_t x = 0; x < width; ++x) t[x] += c * row[x];
    }
  }
  for (std::size_t u = 0; u < kEdge; ++u) {
    const double* t = scratch + u * width;
    for (std::size_t v = 0; v < kEdge; ++v) {
      const double* a = across + v * width;
      double sum = 0.0;
      for (std::size_t x = 0; x < width; ++x) sum += t[x] * a[x];
      block[u * kEdge + v] = sum;
    }
  }
}

void ForwardBlock(const double* rows, const double* plane, double* scratch,
                  double* block) noexcept {
  // scratch[u][x] = sum_y rows[u][y] plane[y][x]
  std::fill(scratch, scratch + kEdge * kSide, 0.0);
  for (std::size_t u = 0; u < kEdge; ++u) {
    double* t = scratch + u * kSide;
    for (std::size_t y = 0; y < kSide; ++y) {
      const double c = rows[u * kSide + y];
      const double* p = plane + y * kSide;
      for (std::size_t x = 0; x < kSide; ++x) t[x] += c * p[x];
    }
  }
  for (std::size_t u = 0; u < kEdge; ++u) {
    for (std::size_t v = 0; v < kEdge; ++v) {
      const double* t = scratch + u * kSide;
      const double* r = rows + v * kSide;
      double sum = 0.0;
      for (std::size_t x = 0; x < kSide; ++x) sum += t[x] * r[x];
      block[u * kEdge + v] = sum;
    }
  }
}

void InverseBlock(const double* rows, const double* block, double* scratch,
                  double* plane) noexcept {
  // scratch[u][x] = sum_v block[u][v] rows[v][x]
  std::fill(scratch, scratch + kEdge * kSide, 0.0);
  for (std::size_t u = 0; u < kEdge; ++u) {
    double* t = scratch + u * kSide;
    for (std::size_t v = 0; v < kEdge; ++v) {
      const double c = block[u * kEdge + v];
      if (c == 0.0) continue;
      const double* r = rows + v * kSide;
      for (std::size_t x = 0; x < kSide; ++x) t[x] += c * r[x];
    }
  }
  std::fill(plane, plane + kSide * kSide, 0.0);
  for (std::size_t y = 0; y < kSide; ++y) {
    double* p = plane + y * kSide;
    for (std::size_t u = 0; u < kEdge; ++u) {
      const double c = rows[u * kSide + y];
      const double* t = scratch + u * kSide;
      for (std::size_t x = 0; x < kSide; ++x) p[x] += c * t[x];
    }
  }
}

}  // namespace pmk::web
