#include "engine/internal/web_canonical.h"

#include <algorithm>
#include <cmath>

#include "engine/internal/spare_cores.h"

namespace pmk::web {
namespace {

constexpr double kPi = 3.141592653589793;
constexpr double kLanczosLobes = 3.0;

double Lanczos3(double x) noexcept {
  x = std::fabs(x);
  if (x < 1e-9) return 1.0;
  if (x >= kLanczosLobes) return 0.0;
  const double px = kPi * x;
  return kLanczosLobes * std::sin(px) * std::sin(px / kLanczosLobes) / (px * px);
}

double KeysCubic(double x) noexcept {
  x = std::fabs(x);
  if (x < 1.0) return (1.5 * x - 2.5) * x * x + 1.0;
  if (x < 2.0) return ((-0.5 * x + 2.5) * x - 4.0) * x + 2.0;
  return 0.0;
}

bool AllocateTaps(std::int32_t outputs, std::size_t weights, AxisTaps& taps) noexcept {
  const auto n = static_cast<std::size_t>(outputs);
  taps.outputs = 0;
  if (!taps.first.Allocate(n) || !taps.count.Allocate(n) || !taps.offset.Allocate(n) ||
      !taps.weights.Allocate(std::max<std::size_t>(weights, 1))) {
    return false;
  }
  taps.outputs = outputs;
  return true;
}

}  // namespace

bool FloatPlane::Allocate(std::int32_t w, std::int32_t h) noexcept {
  width = 0;
  height = 0;
  if (!values.Allocate(static_cast<std::size_t>(w) * static_cast<std::size_t>(h))) return false;
  width = w;
  height = h;
  return true;
}

bool LanczosTaps(std::int32_t sources, std::int32_t outputs, double from, double to,
                 AxisTaps& taps) noexcept {
  const double scale = (to - from) / outputs;
  const double stretch = std::max(1.0, scale);
  const double radius = kLanczosLobes * stretch;
  const auto widest = static_cast<std::size_t>(std::ceil(2.0 * radius)) + 2;
  if (!AllocateTaps(outputs, widest * static_cast<std::size_t>(outputs), taps)) return false;
  std::size_t used = 0;
  for (std::int32_t o = 0; o < outputs; ++o) {
    const double centre = from + (o + 0.5) * scale - 0.5;
    const auto lo = static_cast<std::int32_t>(std::ceil(centre - radius));
    const auto hi = static_cast<std::int32_t>(std::floor(centre + radius));
    double sum = 0.0;
    for (std::int32_t i = lo; i <= hi; ++i) sum += Lanczos3((i - centre) / stretch);
    const std::int32_t first = std::clamp(lo, 0, sources - 1);
    const std::int32_t last = std::clamp(hi, 0, sources - 1);
    taps.first[static_cast<std::size_t>(o)] = first;
    taps.count[static_cast<std::size_t>(o)] = last - first + 1;
    taps.offset[static_cast<std::size_t>(o)] = used;
    float* w = taps.weights.data() + used;
    std::fill(w, w + (last - first + 1), 0.0f);
    // Fold in double, then round each weight once.
    double folded[64] = {};
    const bool fits = last - first + 1 <= 64;
    for (std::int32_t i = lo; i <= hi; ++i) {
      const double k = Lanczos3((i - centre) / stretch) / sum;
      const std::int32_t at = std::clamp(i, 0, sources - 1) - first;
      if (fits) {
        folded[at] += k;
      } else {
        w[at] += static_cast<float>(k);
      }
    }
    if (fits) {
      for (std::int32_t i = 0; i <= last - first; ++i) w[i] = static_cast<float>(folded[i]);
    }
    used += static_cast<std::size_t>(last - first + 1);
  }
  return true;
}

bool CubicEnlargementTaps(std::int32_t sources, std::int32_t outputs, double from, double to,
                          AxisTaps& taps) noexcept {
  if (!AllocateTaps(outputs, 4 * static_cast<std::size_t>(outputs), taps)) return false;
  const double per_source = (to - from) / sources;
  std::size_t used = 0;
  for (std::int32_t o = 0; o < outputs; ++o) {
    const double centre = o + 0.5;
    taps.offset[static_cast<std::size_t>(o)] = used;
    taps.first[static_cast<std::size_t>(o)] = 0;
    taps.count[static_cast<std::size_t>(o)] = 0;
    if (centre < from || centre >= to) continue;
    const double u = (centre - from) / per_source - 0.5;
    const auto base = static_cast<std::int32_t>(std::floor(u));
    const std::int32_t first = std::max(base - 1, 0);
    const std::int32_t last = std::min(base + 2, sources - 1);
    taps.first[static_cast<std::size_t>(o)] = first;
    taps.count[static_cast<std::size_t>(o)] = std::max(last - first + 1, 0);
    for (std::int32_t i = first; i <= last; ++i) {
      taps.weights[used++] = static_cast<float>(KeysCubic(u - i));
    }
  }
  return true;
}

void CanonicalWindow(std::int32_t length, double crop, double& from, double& to) noexcept {
  const double kept = 1.0 - 2.0 * crop;
  from = (kInnerMargin - crop) / kept * length;
  to = (1.0 - kInnerMargin - crop) / kept * length;
}

bool Resample(const FloatPlane& source, const AxisTaps& across, const AxisTaps& down,
              FloatPlane& result) noexcept {
  FloatPlane horizontal;
  if (!horizontal.Allocate(across.outputs, source.height) ||
      !result.Allocate(across.outputs, down.outputs)) {
    return false;
  }
  for (std::int32_t y = 0; y < source.height; ++y) {
    const float* row = source.Row(y);
    float* out = horizontal.Row(y);
    for (std::int32_t x = 0; x < across.outputs; ++x) {
      const float* w = across.weights.data() + across.offset[static_cast<std::size_t>(x)];
      const float* s = row + across.first[static_cast<std::size_t>(x)];
      float sum = 0.0f;
      for (std::int32_t k = 0; k < across.count[static_cast<std::size_t>(x)]; ++k)
        sum += w[k] * s[k];
      out[x] = sum;
    }
  }
  for (std::int32_t y = 0; y < down.outputs; ++y) {
    float* out = result.Row(y);
    std::fill(out, out + result.width, 0.0f);
    const float* w = down.weights.data() + down.offset[static_cast<std::size_t>(y)];
    const std::int32_t first = down.first[static_cast<std::size_t>(y)];
    for (std::int32_t k = 0; k < down.count[static_cast<std::size_t>(y)]; ++k) {
      const float* s = horizontal.Row(first + k);
      for (std::int32_t x = 0; x < result.width; ++x) out[x] += w[k] * s[x];
    }
  }
  return true;
}

std::uint8_t SearchPlane(const ImageRecord& picture, FloatPlane& plane) noexcept {
  const std::int32_t width = picture.width();
  const std::int32_t height = picture.height();
  const std::int32_t channels = picture.channels();
  const std::int32_t longest = std::max(width, height);
  const double factor =
      longest > kSearchLongestSide ? static_cast<double>(kSearchLongestSide) / longest : 1.0;
  const std::int32_t out_width =
      std::max(1, static_cast<std::int32_t>(std::lround(width * factor)));
  const std::int32_t out_height =
      std::max(1, static_cast<std::int32_t>(std::lround(height * factor)));
  const auto luma = [&](std::int32_t y, float* row) {
    const std::uint8_t* p = picture.Row<std::uint8_t>(y);
    for (std::int32_t x = 0; x < width; ++x, p += channels) {
      row[x] = 0.114f * p[0] + 0.587f * p[1] + 0.299f * p[2];
    }
  };
  if (factor == 1.0) {
    if (!plane.Allocate(width, height)) return kResultNoMemory;
    ParallelFor(height, [&](std::int32_t y, int) { luma(y, plane.Row(y)); });
    return kResultOk;
  }
  // Whole boxes of `box` samples are averaged along each row before the
  // Lanczos filter, which then reduces by about two; at the band's
  // frequencies the box takes off less than 0.3 %.
  const std::int32_t box = std::max(1, width / (2 * out_width));
  const std::int32_t boxed = width / box;
  AxisTaps across;
  AxisTaps down;
  FloatPlane horizontal;
  HeapArray<float> rows;  // one luma row and one boxed row per worker
  const std::size_t row_floats = static_cast<std::size_t>(width) + boxed;
  if (!LanczosTaps(boxed, out_width, 0.0, static_cast<double>(width) / box, across) ||
      !LanczosTaps(height, out_height, 0.0, height, down) ||
      !horizontal.Allocate(out_width, height) ||
      !rows.Allocate(row_floats * kMostParallelThreads) || !plane.Allocate(out_width, out_height)) {
    return kResultNoMemory;
  }
  const float box_scale = 1.0f / static_cast<float>(box);
  ParallelFor(height, [&](std::int32_t y, int worker) {
    float* row = rows.data() + static_cast<std::size_t>(worker) * row_floats;
    float* boxes = row + width;
    luma(y, row);
    for (std::int32_t b = 0; b < boxed; ++b) {
      float sum = 0.0f;
      for (std::int32_t i = 0; i < box; ++i) sum += row[b * box + i];
      boxes[b] = sum * box_scale;
    }
    float* out = horizontal.Row(y);
    for (std::int32_t x = 0; x < out_width; ++x) {
      const float* w = across.weights.data() + across.offset[static_cast<std::size_t>(x)];
      const float* s = boxes + across.first[static_cast<std::size_t>(x)];
      float sum = 0.0f;
      for (std::int32_t k = 0; k < across.count[static_cast<std::size_t>(x)]; ++k) {
        sum += w[k] * s[k];
      }
      out[x] = sum;
    }
  });
  ParallelFor(out_height, [&](std::int32_t y, int) {
    float* out = plane.Row(y);
    std::fill(out, out + out_width, 0.0f);
    const float* w = down.weights.data() + down.offset[static_cast<std::size_t>(y)];
    const std::int32_t first = down.first[static_cast<std::size_t>(y)];
    for (std::int32_t k = 0; k < down.count[static_cast<std::size_t>(y)]; ++k) {
      const float* s = horizontal.Row(first + k);
      for (std::int32_t x = 0; x < out_width; ++x) out[x] += w[k] * s[x];
    }
  });
  return kResultOk;
}

}  // namespace pmk::web
