// The web layer's canonical picture: the luma of the inner part of a picture
// (kInnerMargin in from every side), reduced with an antialiasing Lanczos-3
// filter to kCanonicalSide squared, whatever the picture's size and shape.
//
// Every picture goes through one fixed chain, so that a signing and a later
// check see the same host values: its luma is first brought to the search
// plane (longest side at most kSearchLongestSide), and the canonical picture
// is taken from that plane. A crop hypothesis only moves the window the
// canonical picture is taken from.
//
// Planes are single precision; taps are computed in double and stored in
// single precision; every sum runs in index order.
#pragma once

#include <cstddef>
#include <cstdint>

#include "image/checked_allocation.h"
#include "image/image_record.h"

namespace pmk::web {

inline constexpr std::int32_t kCanonicalSide = 256;
inline constexpr double kInnerMargin = 0.06;
inline constexpr std::int32_t kSearchLongestSide = 448;

struct FloatPlane {
  HeapArray<float> values;
  std::int32_t width = 0;
  std::int32_t height = 0;

  bool Allocate(std::int32_t w, std::int32_t h) noexcept;
  float* Row(std::int32_t y) noexcept {
    return values.data() + static_cast<std::size_t>(y) * width;
  }
  const float* Row(std::int32_t y) const noexcept {
    return values.data() + static_cast<std::size_t>(y) * width;
  }
};

// The weights that make each output sample of one axis from source samples.
struct AxisTaps {
  HeapArray<std::int32_t> first;  // per output: the first source sample
  HeapArray<std::int32_t> count;  // per output: how many
  HeapArray<std::size_t> offset;  // per output: where its weights start
  HeapArray<float> weights;
  std::int32_t outputs = 0;
};

// `outputs` samples evenly covering the source interval [from, to) (in source
// pixels, 0 the outer edge of the first) with a Lanczos-3 kernel stretched by
// the reduction; weights that fall outside the source fold onto its edge
// samples, and each output's weights sum to one.
bool LanczosTaps(std::int32_t sources, std::int32_t outputs, double from, double to,
                 AxisTaps& taps) noexcept;

// `outputs` pixels of which those whose centres lie in [from, to) interpolate
// `sources` samples spread evenly over that interval (Keys cubic, a = -0.5);
// source samples beyond either end count as zero. Pixels outside get no taps.
bool CubicEnlargementTaps(std::int32_t sources, std::int32_t outputs, double from, double to,
                          AxisTaps& taps) noexcept;

// The luma (0.299 R + 0.587 G + 0.114 B) of an 8-bit picture of at least three
// channels (blue first), reduced to fit kSearchLongestSide, or as it is when
// it fits. Rows are shared out over the idle cores. Returns a result code.
std::uint8_t SearchPlane(const ImageRecord& picture, FloatPlane& plane) noexcept;

// Where the canonical picture lies along an axis of `length` samples of a
// picture that lost `crop` of its length at each end: [from, to).
void CanonicalWindow(std::int32_t length, double crop, double& from, double& to) noexcept;

// Resamples `source` with taps for its columns (`across`) and rows (`down`).
bool Resample(const FloatPlane& source, const AxisTaps& across, const AxisTaps& down,
              FloatPlane& result) noexcept;

}  // namespace pmk::web
