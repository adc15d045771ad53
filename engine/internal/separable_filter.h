// The two separable low-pass filters of the candidate search (7 and 5 taps).
//
// Each filter is two one-dimensional passes that write their output
// transposed, so both passes read memory along rows and the second pass
// brings the plane back to its normal orientation. Above a scale of 1.01 the
// kernel is resampled at distances multiplied by the scale, so that a
// rescaled picture is smoothed as much as the original was.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "engine/internal/mark.h"
#include "image/checked_allocation.h"

namespace pmk {

// The 5-tap kernel of the corner search (single precision, sums to 1); the
// 7-tap one is the mark's low-pass kernel (mark.h).
inline constexpr std::array<float, 5> kSearchKernel5{0.1f, 0.2f, 0.4f, 0.2f, 0.1f};

// Scales at or below this use the caller's kernel unchanged.
inline constexpr double kFilterScaleThreshold = 1.01;

// The kernel actually applied at `scale`: the caller's taps up to 1.01, else a
// symmetric kernel resampled from the caller's left half and centre and
// normalised to sum 1.
std::array<float, 7> AdaptKernel7(const float* kernel, double scale) noexcept;
std::array<float, 5> AdaptKernel5(const float* kernel, double scale) noexcept;

// Floats of scratch the filters need: a ring of `taps` filtered rows.
inline constexpr std::size_t FilterScratchFloats(std::int32_t width, std::int32_t taps) noexcept {
  return static_cast<std::size_t>(width) * static_cast<std::size_t>(taps);
}

// Filters a width x height plane (rows packed) with the 7-tap `kernel` adapted
// to `scale`: the result is that of a pass along the rows into a transposed
// scratch plane and a second pass back, sum for sum,
// computed in one sweep. `destination` may be `source`; `scratch` must be
// distinct from both and hold FilterScratchFloats(width, 7) floats (a plane of
// the same size always does). Writes nothing when width or height is below 7.
void SeparableFilter7(float* destination, const float* source, std::int32_t width,
                      std::int32_t height, float* scratch, const float* kernel,
                      double scale) noexcept;

// SeparableFilter7 of a plane in place, with the same result, cut into bands
// of rows that run on idle cores (spare_cores.h). Obtains its own buffers (a
// few rows per band): returns 0, or 6 with the plane untouched when they
// cannot be had.
std::uint8_t SeparableFilter7InBands(float* plane, std::int32_t width, std::int32_t height,
                                     const float* kernel, double scale) noexcept;
// The same with the band buffers kept in `buffers` from one call to the next.
std::uint8_t SeparableFilter7InBands(float* plane, std::int32_t width, std::int32_t height,
                                     const float* kernel, double scale,
                                     HeapArray<float>& buffers) noexcept;

// The same with a 5-tap kernel (scratch: FilterScratchFloats(width, 5));
// writes nothing when width or height is below 5.
void SeparableFilter5(float* destination, const float* source, std::int32_t width,
                      std::int32_t height, float* scratch, const float* kernel,
                      double scale) noexcept;

// The two passes on single rows, with taps already adapted, for callers that
// stream a plane through the filter row by row. A row pass fills `out` (the
// full sums, then the edge copies); a column pass writes one output row from
// the row passes of the rows above and below it, rows[k] being the row
// k - taps / 2 away. Each output is the same sum as the plane filters give.
void FilterRow7(float* out, const float* in, std::int32_t length, const float* taps) noexcept;
void FilterRow5(float* out, const float* in, std::int32_t length, const float* taps) noexcept;
void FilterColumns7(float* out, const float* const* rows, std::int32_t width,
                    const float* taps) noexcept;
void FilterColumns5(float* out, const float* const* rows, std::int32_t width,
                    const float* taps) noexcept;

}  // namespace pmk
