// Signing one region: steering its 256 filtered cell means onto the lattice.
#pragma once

#include <array>
#include <cstdint>

#include "engine/internal/cell_grid.h"
#include "engine/internal/embed_options.h"
#include "engine/internal/payload_cells.h"
#include "image/image_record.h"

namespace pmk {

// Most passes one region gets before it is left as it is.
inline constexpr std::int32_t kMostPasses = 100;

// A pass whose corrections all stay within this magnitude ends the region.
inline constexpr double kConvergedCorrection = 0.05;

// Margin around the box that the filter needs to see.
inline constexpr std::int32_t kFilterMargin = 7;

// The region's integer box grown by kFilterMargin on every side and clipped to
// a picture of `width` x `height`: the part of the carrier a pass filters.
struct ExtendedBox {
  std::int32_t left = 0;
  std::int32_t top = 0;
  std::int32_t right = 0;
  std::int32_t bottom = 0;
  std::int32_t Width() const noexcept { return right - left; }
  std::int32_t Height() const noexcept { return bottom - top; }
};
ExtendedBox MakeExtendedBox(const CellGrid& grid, std::int32_t width, std::int32_t height) noexcept;

struct RegionOutcome {
  std::int32_t passes = 0;          // 0 when the region was skipped
  double max_abs_correction = 0.0;  // largest |correction| of the last pass
};

// Signs the region of `grid` in the carrier channel of `image` (8-bit, at
// least three channels) with `bits`, in passes of measuring the filtered cell
// means and rounding the corrections into the pixels. Only labelled pixels of
// the box change, and the picture is written only once the region is done. A
// region whose box leaves the picture, or whose box with its margin is
// narrower or lower than the filter, is skipped. Returns 0, or 6 (picture
// untouched) when a working plane cannot be obtained.
std::uint8_t SignRegion(ImageRecord& image, const CellGrid& grid, const CellBits& bits,
                        const EmbedOptions& options, RegionOutcome& outcome) noexcept;

}  // namespace pmk
