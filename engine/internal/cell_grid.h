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
#include <cstdint>

#include "engine/internal/candidate_rect.h"
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

}  // namespace pmk
