// The cell grid and its measurement for arbitrary rectangles inside a 64 x 64
// plane. The first 16 bytes place the rectangle (four 32-bit fractions of the
// plane's size); the rest become the plane's samples, repeated as needed.
#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "engine/internal/candidate_rect.h"
#include "engine/internal/cell_grid.h"
#include "image/image_record.h"
#include "tests/support/reference_cells.h"

namespace {

constexpr std::int32_t kPlaneSize = 64;

void Require(bool condition) {
  if (!condition) std::abort();
}

double Fraction(const std::uint8_t* bytes) {
  std::uint32_t word = 0;
  std::memcpy(&word, bytes, sizeof word);
  return static_cast<double>(word) / 4294967295.0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 16) return 0;
  // Two corners anywhere in the plane, ordered into a rectangle.
  const double xa = Fraction(data) * kPlaneSize;
  const double ya = Fraction(data + 4) * kPlaneSize;
  const double xb = Fraction(data + 8) * kPlaneSize;
  const double yb = Fraction(data + 12) * kPlaneSize;
  pmk::CandidateRect rect;
  rect.x0 = std::min(xa, xb);
  rect.x1 = std::max(xa, xb);
  rect.y0 = std::min(ya, yb);
  rect.y1 = std::max(ya, yb);

  const std::uint8_t* samples = data + 16;
  const std::size_t sample_count = size - 16;

  const pmk::CellGrid grid = pmk::MakeCellGrid(rect);
  Require(grid.left >= 0 && grid.top >= 0);
  Require(grid.right <= kPlaneSize && grid.bottom <= kPlaneSize);
  Require(grid.BoxWidth() >= 0 && grid.BoxHeight() >= 0);

  pmk::ImageRecord mask;
  if (pmk::BuildCellMask(grid.cell_width, grid.cell_height, mask) != pmk::kResultOk) return 0;
  pmk::ImageRecord labels;
  if (pmk::BuildLabelMap(grid, mask, labels) != pmk::kResultOk) return 0;

  // The box's part of the plane; integer samples keep every sum exact.
  pmk::ImageRecord plane;
  if (plane.Allocate(grid.BoxWidth(), grid.BoxHeight(), 1, 32) != pmk::kResultOk) return 0;
  float lowest = 255.0f;
  float highest = 0.0f;
  for (std::int32_t y = 0; y < plane.height(); ++y) {
    float* row = plane.Row<float>(y);
    for (std::int32_t x = 0; x < plane.width(); ++x) {
      const std::size_t at = static_cast<std::size_t>((grid.top + y) * kPlaneSize + grid.left + x);
      row[x] = sample_count == 0 ? 128.0f : static_cast<float>(samples[at % sample_count]);
      lowest = std::min(lowest, row[x]);
      highest = std::max(highest, row[x]);
    }
  }

  for (std::int32_t y = 0; y < labels.height(); ++y) {
    const auto* row = labels.Row<std::uint16_t>(y);
    for (std::int32_t x = 0; x < labels.width(); ++x) Require(row[x] <= 512);
  }

  const auto centres = pmk::CellCentres(grid);
  const pmk::CellGrid in_box = pmk::ShiftCellGrid(grid, grid.left, grid.top);
  pmk::CellValues first;
  pmk::MeasureGridCells(plane, in_box, mask, centres, first);
  for (int t = 0; t < 256; ++t) {
    if (!first.measured[t]) {
      Require(first.value[t] == 0.0);
      continue;
    }
    // A cell value is a weighted mean of the plane's samples.
    Require(std::isfinite(first.value[t]));
    Require(first.value[t] >= lowest - 1e-9 && first.value[t] <= highest + 1e-9);
  }

  // The plain walk through the label map, and the measurement as the refined
  // map gives it, read the same cells.
  pmk::CellValues plain;
  pmk::MeasureCells(plane, labels, centres, grid.cell_width, grid.cell_height, plain);
  pmk::CellValues second;
  pmk::MeasureGridCells(plane, in_box, mask, centres, second, pmk::LabelMapState::kRefined);
  for (int t = 0; t < 256; ++t) {
    Require(plain.measured[t] == first.measured[t] && plain.value[t] == first.value[t]);
    Require(second.measured[t] == first.measured[t]);
    Require(second.value[t] == first.value[t]);
  }
  return 0;
}
