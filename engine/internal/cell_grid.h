// The 16 x 16 grid of elliptic cells laid over a region.
//
// Embedding and detection build the grid the same way from a rectangle and
// measure with the same routine (MeasureGridCells), so a value read back
// matches the value that was steered. Each cell is measured over an ellipse in
// its middle: a core that counts in full and a ring whose pixels count by how
// much of them falls inside the nominal ellipse. The numbers are the mark's
// (mark.h).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "engine/internal/candidate_rect.h"
#include "engine/internal/exact_cell_sums.h"
#include "engine/internal/mark.h"
#include "engine/internal/plane_view.h"
#include "image/image_record.h"

namespace pmk {

struct CellCentre {
  double x = 0;
  double y = 0;
};

// A rectangle's integer box (L, T, R, B) in plane pixels, its cell size
// (U, V) and where the exact rectangle starts inside the box (fx, fy).
struct CellGrid {
  std::int32_t left = 0, top = 0, right = 0, bottom = 0;
  double cell_width = 0, cell_height = 0;
  double origin_x = 0, origin_y = 0;
  std::int32_t BoxWidth() const noexcept { return right - left; }
  std::int32_t BoxHeight() const noexcept { return bottom - top; }
};

CellGrid MakeCellGrid(const CandidateRect& rect) noexcept;

// The same grid on a plane whose pixel (0, 0) is pixel (left, top) of the
// grid's plane: only the box moves, the cells stay where they are in it.
CellGrid ShiftCellGrid(const CellGrid& grid, std::int32_t left, std::int32_t top) noexcept;

// Centres of the 256 cells in box coordinates, cell t = 16 * row + column.
std::array<CellCentre, 256> CellCentres(const CellGrid& grid) noexcept;

// Where the mask of the cell in `row`, `column` is pasted, in box pixels.
struct PasteCorner {
  std::int32_t x = 0;
  std::int32_t y = 0;
};
PasteCorner CellPasteCorner(const CellGrid& grid, int row, int column) noexcept;

// The mask of one cell: ceil(U) x ceil(V) 16-bit values, 2 in the inner
// ellipse, 1 in the ring around it, 0 elsewhere. Returns 0 or 6.
std::uint8_t BuildCellMask(double cell_width, double cell_height, ImageRecord& mask) noexcept;
// The same mask in `buffer`, kept from one call to the next; `mask` views it.
std::uint8_t BuildCellMask(double cell_width, double cell_height, HeapArray<std::uint16_t>& buffer,
                           ConstMaskPlane& mask) noexcept;

// The mask's size in values (at least one), and the mask written to
// `values`, which hold that many.
std::size_t CellMaskValues(double cell_width, double cell_height) noexcept;
ConstMaskPlane FillCellMaskAt(double cell_width, double cell_height,
                              std::uint16_t* values) noexcept;

// The label map of the grid's box (16-bit): 0 for no cell, 2t + 1 for a ring
// pixel of cell t, 2t + 2 for an inner pixel. Later cells overwrite earlier
// ones where their masks overlap. Returns 0 or 6.
std::uint8_t BuildLabelMap(const CellGrid& grid, const ImageRecord& mask,
                           ImageRecord& labels) noexcept;

struct CellValues {
  std::array<double, 256> value{};
  std::array<bool, 256> measured{};  // false: no sample counted, value 0
};

// Refines a label map in place: ring pixels none of whose 3 x 3 sample points
// lie inside the nominal ellipse become 0, those all of whose points do become
// inner pixels. The signing measures and corrects through the refined map.
void RefineLabelMap(ImageRecord& labels, const std::array<CellCentre, 256>& centres,
                    double cell_width, double cell_height) noexcept;

// Which label map a measurement reads as: one fresh from BuildLabelMap, or one
// after RefineLabelMap, where a ring pixel wholly inside the nominal ellipse
// adds 9 p formed in single precision instead of p nine times.
enum class LabelMapState { kFresh, kRefined };

// The one cell measurement of signing and detection. Measures the 256 cells
// of the grid straight from `plane`, the whole one-channel float plane the
// grid lies on, as the label map of the grid's box (BuildLabelMap with `mask`,
// the grid's BuildCellMask) in `state` would give them: each cell over the
// pixels the map gives it, inner pixels 9 p, ring pixels p per sample point
// inside the nominal ellipse, added in the map's row order; a cell's value is
// its sum over its count. A box that leaves the plane measures nothing.
void MeasureGridCells(const ImageRecord& plane, const CellGrid& grid, const ImageRecord& mask,
                      const std::array<CellCentre, 256>& centres, CellValues& values,
                      LabelMapState state = LabelMapState::kFresh) noexcept;
// The same on views of a plane and a mask kept by a search's working memory.
void MeasureGridCells(ConstFloatPlane plane, const CellGrid& grid, ConstMaskPlane mask,
                      const std::array<CellCentre, 256>& centres, CellValues& values,
                      LabelMapState state = LabelMapState::kFresh) noexcept;

// The same measurement taken as a sweep down the plane reaches the grid's
// rows, so that many grids share one read of each plane row: start it, give
// it the plane's rows in rising order (rows outside the box are ignored),
// then finish it for the values. The cells' sums are the same as
// MeasureGridCells forms.
struct GridMeasurement {
  CellGrid grid;
  ConstMaskPlane mask;
  std::array<CellCentre, 256> centres;
  double ex2;
  double k;
  bool refined;
  std::array<std::int32_t, 16> paste_x;
  std::array<std::int32_t, 16> end_x;
  std::array<std::int32_t, 16> row_end;
  std::int32_t grid_row;  // being summed; -1 before the first, 16 when done
  std::int32_t first_y;   // the grid row's box rows
  std::int32_t y_end;
  ExactSums exact;  // whether its sums have been exact so far
  std::array<double, 16> sum;
  std::array<std::uint32_t, 16> count;
  CellValues values;
};
// False (no values) when the box leaves the plane.
bool StartGridMeasurement(GridMeasurement& m, ConstFloatPlane plane, const CellGrid& grid,
                          ConstMaskPlane mask, const std::array<CellCentre, 256>& centres,
                          LabelMapState state = LabelMapState::kFresh) noexcept;
// `row_magnitudes`, when given, covers at least the box's columns of the row.
void AddGridMeasurementRow(GridMeasurement& m, ConstFloatPlane plane, std::int32_t plane_row,
                           const Magnitudes* row_magnitudes = nullptr) noexcept;
const CellValues& FinishGridMeasurement(GridMeasurement& m) noexcept;

// Many grids measured in one sweep down the plane: rows first_row ..
// end_row - 1 go to grids[first], grids[first + step], ... (of `count`) that
// have been started and cover them; sweeps over later rows follow. Each
// plane row is read from memory once for all the boxes over it, which
// overlap three or four deep in a detection. The magnitudes of each row's
// samples are taken once per block of columns and shared by the boxes over
// it: `blocks`, when given, holds SweepMagnitudeBlocks(plane.width) of them.
inline constexpr std::int32_t kSweepMagnitudeBlock = 64;
std::size_t SweepMagnitudeBlocks(std::int32_t width) noexcept;
void SweepGridMeasurements(ConstFloatPlane plane, GridMeasurement* grids, std::uint32_t count,
                           std::uint32_t first, std::uint32_t step, std::int32_t first_row,
                           std::int32_t end_row, Magnitudes* blocks) noexcept;

}  // namespace pmk
