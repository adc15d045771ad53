// Bringing an 8-bit colour picture to an assumed scale as float samples.
//
// Detection reads a mark that was laid down at the picture's original size,
// so it first rescales the picture by the factor it is testing. Enlargement
// (and the identity) is bilinear with weights quantised to thousandths and
// looked up in a product table; reduction is an area average.
#pragma once

#include <cstdint>

#include "engine/internal/plane_view.h"
#include "image/checked_allocation.h"
#include "image/image_record.h"

namespace pmk {

struct ResampleWork;

// Rows of the product table: row i holds the weight i/1000 applied to each
// 8-bit value.
inline constexpr std::int32_t kProductTableRows = 1001;
inline constexpr std::int32_t kProductTableColumns = 256;

// The row length the detection's resampler keeps the table at: 256 values
// and two cache lines of padding. Rows exactly 2 KiB apart put the same value
// of every row into the same two sets of a 32 KiB 8-way level-one cache, so
// the few dozen rows one scale looks up kept evicting each other.
inline constexpr std::int32_t kPaddedProductRow = kProductTableColumns + 16;

// Obtains and fills the product table (1001 rows of 256 doubles, row i at
// i * row_stride, the padding zero). Row 1 holds v * 0.001; every later row is
// the previous row plus row 1. Returns 0, or 6 with the table empty when the
// memory cannot be had.
std::uint8_t FillProductTable(HeapArray<double>& table,
                              std::int32_t row_stride = kProductTableColumns) noexcept;

// Fills `destination` (already allocated at trunc(scale * W) x trunc(scale * H),
// three 32-bit float channels) from `source` (three 8-bit channels) rescaled by
// `scale` > 0. `product_table` is the table of FillProductTable.
void ResampleToFloat(const double* product_table, ImageRecord& destination,
                     const ImageRecord& source, double scale) noexcept;

// The whole rescaling step: allocates `destination` as three float channels of
// the rescaled size, obtains the product table for the duration of the call
// and resamples. Returns 0, or 6 (destination released) when memory runs out.
std::uint8_t ResampleImage(ImageRecord& destination, const ImageRecord& source,
                           double scale) noexcept;

// Resamples straight into the two planes a detection works on, without the
// three-channel picture: `guide` gets (green + red) * 0.5 of each resampled
// pixel and `carrier` its blue sample, exactly as ResampleImage followed by
// MakeGuidePlane and ExtractChannel would give. Both are allocated here as
// one-channel float planes of the rescaled size. Returns 0, or 6 (both
// released) when memory runs out.
std::uint8_t ResampleToPlanes(ImageRecord& guide, ImageRecord& carrier, const ImageRecord& source,
                              double scale) noexcept;

// Which of a detection's two planes a resampling pass fills.
enum class PlaneContent { kBoth, kGuide, kCarrier };

// The rescaled size of `source` at `scale`; false when it cannot be described.
bool RescaledPlaneSize(const ImageRecord& source, double scale, std::int32_t& width,
                       std::int32_t& height) noexcept;

// The same into planes the caller provides (both of the rescaled size), with
// the tables and row sums kept in `work` from one call to the next. Returns
// 0, or 6 when a buffer of `work` cannot be had (the planes are then
// partly written).
std::uint8_t ResampleToPlanes(FloatPlane guide, FloatPlane carrier, const ImageRecord& source,
                              double scale, ResampleWork& work) noexcept;

// One of the two planes alone (kGuide or kCarrier; kBoth gives 1 and writes
// nothing), with exactly the samples ResampleToPlanes gives it. A search that
// keeps one plane per thread resamples the guide, searches it, and then
// resamples the carrier into the same memory. Returns 0, 1 or 6 as above.
std::uint8_t ResampleToPlane(FloatPlane plane, PlaneContent content, const ImageRecord& source,
                             double scale, ResampleWork& work) noexcept;

}  // namespace pmk
