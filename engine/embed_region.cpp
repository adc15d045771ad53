#include "engine/internal/embed_region.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "engine/internal/lattice_correction.h"
#include "engine/internal/random_rounding.h"
#include "engine/internal/separable_filter.h"

namespace pmk {
namespace {

constexpr std::int32_t kFilterTaps = 7;

// Copies a width x height block between one-channel records of equal sample
// size.
void CopyBlock(ImageRecord& destination, std::int32_t dx, std::int32_t dy,
               const ImageRecord& source, std::int32_t sx, std::int32_t sy, std::int32_t width,
               std::int32_t height) noexcept {
  const std::int32_t bytes = source.BytesPerSample();
  for (std::int32_t y = 0; y < height; ++y) {
    std::memcpy(destination.Row<std::uint8_t>(dy + y) + static_cast<std::int64_t>(dx) * bytes,
                source.Row<std::uint8_t>(sy + y) + static_cast<std::int64_t>(sx) * bytes,
                static_cast<std::size_t>(width) * bytes);
  }
}

void ExtractCarrier(const ImageRecord& image, ImageRecord& channel) noexcept {
  const std::int32_t channels = image.channels();
  for (std::int32_t y = 0; y < image.height(); ++y) {
    const std::uint8_t* source = image.Row<std::uint8_t>(y);
    std::uint8_t* destination = channel.Row<std::uint8_t>(y);
    for (std::int32_t x = 0; x < image.width(); ++x) {
      destination[x] = source[static_cast<std::int64_t>(x) * channels];
    }
  }
}

void InsertCarrier(const ImageRecord& channel, ImageRecord& image) noexcept {
  const std::int32_t channels = image.channels();
  for (std::int32_t y = 0; y < image.height(); ++y) {
    const std::uint8_t* source = channel.Row<std::uint8_t>(y);
    std::uint8_t* destination = image.Row<std::uint8_t>(y);
    for (std::int32_t x = 0; x < image.width(); ++x) {
      destination[static_cast<std::int64_t>(x) * channels] = source[x];
    }
  }
}

void BytesToFloats(const ImageRecord& bytes, ImageRecord& floats) noexcept {
  for (std::int32_t y = 0; y < bytes.height(); ++y) {
    const std::uint8_t* source = bytes.Row<std::uint8_t>(y);
    float* destination = floats.Row<float>(y);
    for (std::int32_t x = 0; x < bytes.width(); ++x) destination[x] = static_cast<float>(source[x]);
  }
}

}  // namespace

ExtendedBox MakeExtendedBox(const CellGrid& grid, std::int32_t width,
                            std::int32_t height) noexcept {
  return ExtendedBox{std::max(grid.left - kFilterMargin, 0), std::max(grid.top - kFilterMargin, 0),
                     std::min(grid.right + kFilterMargin, width),
                     std::min(grid.bottom + kFilterMargin, height)};
}

std::uint8_t SignRegion(ImageRecord& image, const CellGrid& grid, const CellBits& bits,
                        const EmbedOptions& options, RegionOutcome& outcome) noexcept {
  outcome = RegionOutcome{};
  const std::int32_t width = image.width();
  const std::int32_t height = image.height();
  const std::int32_t box_width = grid.BoxWidth();
  const std::int32_t box_height = grid.BoxHeight();
  if (grid.left < 0 || grid.top < 0 || grid.right > width || grid.bottom > height ||
      box_width <= 0 || box_height <= 0) {
    return kResultOk;
  }
  const ExtendedBox extended_box = MakeExtendedBox(grid, width, height);
  const std::int32_t ext_left = extended_box.left;
  const std::int32_t ext_top = extended_box.top;
  const std::int32_t ext_width = extended_box.Width();
  const std::int32_t ext_height = extended_box.Height();
  // The filter leaves smaller planes unwritten, so no cell could be measured.
  if (ext_width < kFilterTaps || ext_height < kFilterTaps) return kResultOk;
  const std::int32_t box_in_ext_x = grid.left - ext_left;
  const std::int32_t box_in_ext_y = grid.top - ext_top;

  ImageRecord channel;
  if (channel.Allocate(width, height, 1, 8) != kResultOk) return kResultNoMemory;
  ExtractCarrier(image, channel);
  ImageRecord region;
  if (region.Allocate(box_width, box_height, 1, 8) != kResultOk) return kResultNoMemory;
  CopyBlock(region, 0, 0, channel, grid.left, grid.top, box_width, box_height);
  ImageRecord mask;
  if (BuildCellMask(grid.cell_width, grid.cell_height, mask) != kResultOk) return kResultNoMemory;
  ImageRecord labels;
  if (BuildLabelMap(grid, mask, labels) != kResultOk) return kResultNoMemory;
  const std::array<CellCentre, 256> centres = CellCentres(grid);
  RefineLabelMap(labels, centres, grid.cell_width, grid.cell_height);
  const CellGrid grid_in_extended = ShiftCellGrid(grid, ext_left, ext_top);
  ImageRecord extended;
  if (extended.Allocate(ext_width, ext_height, 1, 8) != kResultOk) return kResultNoMemory;
  CopyBlock(extended, 0, 0, channel, ext_left, ext_top, ext_width, ext_height);

  ImageRecord unfiltered;
  ImageRecord filtered;
  ImageRecord scratch;
  if (unfiltered.Allocate(ext_width, ext_height, 1, 32) != kResultOk ||
      filtered.Allocate(ext_width, ext_height, 1, 32) != kResultOk ||
      scratch.Allocate(ext_width, ext_height, 1, 32) != kResultOk) {
    return kResultNoMemory;
  }

  CellValues values;
  std::array<double, 256> corrections{};
  for (std::int32_t pass = 1; pass <= kMostPasses; ++pass) {
    BytesToFloats(extended, unfiltered);
    SeparableFilter7(filtered.Floats(), unfiltered.Floats(), ext_width, ext_height,
                     scratch.Floats(), kLowPassKernel7.data(), 1.0);
    // The first pass reads the map as built; every pass corrects through the
    // refined map, so later passes read that.
    MeasureGridCells(filtered, grid_in_extended, mask, centres, values,
                     pass == 1 ? LabelMapState::kFresh : LabelMapState::kRefined);

    bool converged = true;
    double largest = 0.0;
    for (std::size_t t = 0; t < 256; ++t) {
      // A cell without a value keeps its pixels.
      corrections[t] = values.measured[t] ? LatticeCorrection(values.value[t], bits[t]) : 0.0;
      const double magnitude = std::fabs(corrections[t]);
      if (magnitude > kConvergedCorrection) converged = false;
      largest = std::max(largest, magnitude);
    }

    Mt19937 generator(PassSeed(options));
    ApplyCorrections(region, labels, corrections, generator);
    CopyBlock(extended, box_in_ext_x, box_in_ext_y, region, 0, 0, box_width, box_height);
    outcome.passes = pass;
    outcome.max_abs_correction = largest;
    if (converged) break;
  }

  CopyBlock(channel, ext_left, ext_top, extended, 0, 0, ext_width, ext_height);
  InsertCarrier(channel, image);
  return kResultOk;
}

}  // namespace pmk
