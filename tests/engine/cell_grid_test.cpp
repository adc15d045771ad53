#include "engine/internal/cell_grid.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <random>
#include <utility>

#include "image/checked_allocation.h"
#include "image/image_record.h"
#include "support/reference_cells.h"

namespace pmk {
namespace {

std::uint16_t LabelAt(const ImageRecord& labels, int x, int y) {
  return labels.Row<std::uint16_t>(y)[x];
}

ImageRecord PlaneOfBox(const CellGrid& grid, float value) {
  ImageRecord plane;
  EXPECT_EQ(plane.Allocate(grid.BoxWidth(), grid.BoxHeight(), 1, 32), kResultOk);
  for (int y = 0; y < plane.height(); ++y) {
    for (int x = 0; x < plane.width(); ++x) plane.Row<float>(y)[x] = value;
  }
  return plane;
}

struct Built {
  CellGrid grid;
  ImageRecord mask;
  ImageRecord labels;
};

Built Build(const CandidateRect& rect) {
  Built b;
  b.grid = MakeCellGrid(rect);
  EXPECT_EQ(BuildCellMask(b.grid.cell_width, b.grid.cell_height, b.mask), kResultOk);
  EXPECT_EQ(BuildLabelMap(b.grid, b.mask, b.labels), kResultOk);
  return b;
}

// ---- Geometry ----------------------------------------------------------

TEST(CellGrid, TheIntegerBoxEnclosesTheRectangleAndTheCellsSpanItExactly) {
  const CellGrid grid = MakeCellGrid({10.5, 20.25, 170.75, 180.0});
  EXPECT_EQ(grid.left, 10);
  EXPECT_EQ(grid.top, 20);
  EXPECT_EQ(grid.right, 171);
  EXPECT_EQ(grid.bottom, 180);
  EXPECT_EQ(grid.BoxWidth(), 161);
  EXPECT_EQ(grid.BoxHeight(), 160);
  EXPECT_DOUBLE_EQ(grid.cell_width, 160.25 / 16);
  EXPECT_DOUBLE_EQ(grid.cell_height, 159.75 / 16);
  EXPECT_EQ(grid.origin_x, 0.5);
  EXPECT_EQ(grid.origin_y, 0.25);

  const auto centres = CellCentres(grid);
  // Cell 0 and cell 255 sit half a cell inside the exact rectangle's corners.
  EXPECT_DOUBLE_EQ(centres[0].x, 0.5 + grid.cell_width / 2);
  EXPECT_DOUBLE_EQ(centres[0].y, 0.25 + grid.cell_height / 2);
  EXPECT_NEAR(centres[255].x, 0.5 + 160.25 - grid.cell_width / 2, 1e-12);
  EXPECT_NEAR(centres[255].y, 0.25 + 159.75 - grid.cell_height / 2, 1e-12);
  // Cell t = 16 * row + column: cell 17 is one cell right and one down.
  EXPECT_NEAR(centres[17].x - centres[0].x, grid.cell_width, 1e-12);
  EXPECT_NEAR(centres[17].y - centres[0].y, grid.cell_height, 1e-12);
}

TEST(CellMask, HasAnInnerEllipseARingAndEmptyCorners) {
  // U = V = 10: centre (5, 5), inner semi-axes 1.75, ring out to 5.75.
  ImageRecord mask;
  ASSERT_EQ(BuildCellMask(10, 10, mask), kResultOk);
  EXPECT_EQ(mask.width(), 10);
  EXPECT_EQ(mask.height(), 10);
  EXPECT_EQ(mask.channels(), 1);
  EXPECT_EQ(mask.bits(), 16);
  EXPECT_EQ(LabelAt(mask, 5, 5), 2);
  EXPECT_EQ(LabelAt(mask, 4, 5), 2);  // 1 / 1.75^2 < 1
  EXPECT_EQ(LabelAt(mask, 3, 5), 1);  // 4 / 1.75^2 >= 1, 4 / 5.75^2 < 1
  EXPECT_EQ(LabelAt(mask, 5, 0), 1);  // 25 / 5.75^2 < 1
  EXPECT_EQ(LabelAt(mask, 0, 0), 0);  // 50 / 5.75^2 >= 1
  // No half-pixel shift: the mask is not symmetric about its middle.
  EXPECT_EQ(LabelAt(mask, 9, 9), 1);  // 32 / 5.75^2 < 1

  // A fractional cell size rounds the mask up.
  ImageRecord wide;
  ASSERT_EQ(BuildCellMask(10.625, 9.2, wide), kResultOk);
  EXPECT_EQ(wide.width(), 11);
  EXPECT_EQ(wide.height(), 10);
}

TEST(CellMask, ANominalEllipseOfTwoPixelsHasNoInnerPart) {
  // U = 16/3 makes the inner semi-axis 0 in x: no pixel is inner, nothing
  // divides by zero into the result.
  ImageRecord mask;
  ASSERT_EQ(BuildCellMask(16.0 / 3.0, 16.0 / 3.0, mask), kResultOk);
  int ring = 0;
  for (int y = 0; y < mask.height(); ++y) {
    for (int x = 0; x < mask.width(); ++x) {
      EXPECT_NE(LabelAt(mask, x, y), 2);
      ring += LabelAt(mask, x, y) == 1 ? 1 : 0;
    }
  }
  EXPECT_GT(ring, 0);
}

// ---- Label map ---------------------------------------------------------

TEST(LabelMap, A160SquareTilesTenPixelMasksWithoutOverlap) {
  const Built b = Build({0, 0, 160, 160});
  EXPECT_EQ(b.grid.cell_width, 10.0);
  ASSERT_EQ(b.labels.width(), 160);
  ASSERT_EQ(b.labels.height(), 160);
  EXPECT_EQ(LabelAt(b.labels, 5, 5), 2);             // cell 0 inner
  EXPECT_EQ(LabelAt(b.labels, 5, 0), 1);             // cell 0 ring
  EXPECT_EQ(LabelAt(b.labels, 155, 155), 512);       // cell 255 inner
  EXPECT_EQ(LabelAt(b.labels, 155, 150), 511);       // cell 255 ring
  EXPECT_EQ(LabelAt(b.labels, 15, 25), 2 * 33 + 2);  // row 2, column 1
  // Every labelled pixel lies in its own cell's 10 x 10 block and carries the
  // mask's value there.
  for (int y = 0; y < 160; ++y) {
    for (int x = 0; x < 160; ++x) {
      const int l = LabelAt(b.labels, x, y);
      const int m = LabelAt(b.mask, x % 10, y % 10);
      const int t = 16 * (y / 10) + x / 10;
      ASSERT_EQ(l, m == 0 ? 0 : 2 * t + m) << x << "," << y;
    }
  }
}

TEST(LabelMap, AFractionalLeftEdgePastesAtTheBoxEdgeButCentresShift) {
  const Built b = Build({10.5, 0, 170.5, 160});
  EXPECT_EQ(b.grid.left, 10);
  EXPECT_EQ(b.grid.origin_x, 0.5);
  EXPECT_EQ(CellPasteCorner(b.grid, 0, 0).x, 0);
  EXPECT_EQ(CellPasteCorner(b.grid, 0, 1).x, 10);  // trunc(10 + 0.5)
  EXPECT_EQ(CellCentres(b.grid)[0].x, 0.5 + 5.0);
  ASSERT_EQ(b.labels.width(), 161);
  // The masks are pasted exactly as for x0 = 10: column 160 stays empty.
  EXPECT_EQ(LabelAt(b.labels, 5, 5), 2);
  for (int y = 0; y < 160; ++y) EXPECT_EQ(LabelAt(b.labels, 160, y), 0);
}

TEST(LabelMap, OverlappingMasksAreOverwrittenByTheLaterCellZerosIncluded) {
  // 170 x 160: U = 10.625, masks of 11 columns; cell 1 is pasted at column
  // 10, the last column of cell 0's mask.
  const Built b = Build({0, 0, 170, 160});
  ASSERT_EQ(b.mask.width(), 11);
  ASSERT_EQ(CellPasteCorner(b.grid, 0, 1).x, 10);
  // Row 5: both masks have ring there; cell 1's label wins.
  ASSERT_EQ(LabelAt(b.mask, 10, 5), 1);
  ASSERT_EQ(LabelAt(b.mask, 0, 5), 1);
  EXPECT_EQ(LabelAt(b.labels, 10, 5), 3);
  // Row 2: cell 0's mask has ring there, cell 1's mask has a zero, which wins.
  ASSERT_EQ(LabelAt(b.mask, 10, 2), 1);
  ASSERT_EQ(LabelAt(b.mask, 0, 2), 0);
  EXPECT_EQ(LabelAt(b.labels, 10, 2), 0);
  // Cell 15 is pasted at trunc(15 * 10.625) = 159 and ends at the box edge.
  EXPECT_EQ(CellPasteCorner(b.grid, 0, 15).x, 159);
  EXPECT_EQ(LabelAt(b.labels, 159 + 5, 5), 2 * 15 + 2);
}

TEST(LabelMap, MaskValuesBeyondTheBoxAreDropped) {
  // A mask larger than the grid's cells reaches past the right and bottom.
  const CellGrid grid = MakeCellGrid({0, 0, 160, 160});
  ImageRecord big_mask;
  ASSERT_EQ(BuildCellMask(14, 14, big_mask), kResultOk);
  ImageRecord labels;
  ASSERT_EQ(BuildLabelMap(grid, big_mask, labels), kResultOk);
  EXPECT_EQ(labels.width(), 160);
  EXPECT_EQ(labels.height(), 160);
  EXPECT_EQ(LabelAt(labels, 150 + 7, 150 + 7), 512);
}

TEST(LabelMap, ReportsAFailedAllocation) {
  const CellGrid grid = MakeCellGrid({0, 0, 160, 160});
  ImageRecord mask;
  ArmAllocationFailure(1);
  EXPECT_EQ(BuildCellMask(10, 10, mask), kResultNoMemory);
  EXPECT_FALSE(mask.HasData());
  ArmAllocationFailure(0);
  ASSERT_EQ(BuildCellMask(10, 10, mask), kResultOk);
  ImageRecord labels;
  ArmAllocationFailure(1);
  EXPECT_EQ(BuildLabelMap(grid, mask, labels), kResultNoMemory);
  EXPECT_FALSE(labels.HasData());
  ArmAllocationFailure(0);
}

// ---- Measuring ---------------------------------------------------------

TEST(MeasureCells, AConstantPlaneGivesTheConstantInEveryCell) {
  for (const CandidateRect rect :
       {CandidateRect{0, 0, 160, 160}, CandidateRect{10.5, 3.25, 180.5, 163.0},
        CandidateRect{0.75, 0.5, 400.3, 350.9}}) {
    Built b = Build(rect);
    const ImageRecord plane = PlaneOfBox(b.grid, 42.0f);
    CellValues values;
    MeasureCells(plane, b.labels, CellCentres(b.grid), b.grid.cell_width, b.grid.cell_height,
                 values);
    for (int t = 0; t < 256; ++t) {
      ASSERT_TRUE(values.measured[t]) << "cell " << t;
      ASSERT_DOUBLE_EQ(values.value[t], 42.0) << "cell " << t;
    }
  }
}

TEST(MeasureCells, EachCellReadsItsOwnPixels) {
  // Every 10 x 10 block holds its cell number: the value must be exactly it.
  Built b = Build({0, 0, 160, 160});
  ImageRecord plane = PlaneOfBox(b.grid, 0.0f);
  for (int y = 0; y < 160; ++y) {
    for (int x = 0; x < 160; ++x)
      plane.Row<float>(y)[x] = static_cast<float>(16 * (y / 10) + x / 10);
  }
  CellValues values;
  MeasureCells(plane, b.labels, CellCentres(b.grid), 10, 10, values);
  for (int t = 0; t < 256; ++t) EXPECT_DOUBLE_EQ(values.value[t], t) << "cell " << t;
}

TEST(MeasureCells, RingPixelsWeighTheirSamplePointsInsideTheNominalEllipse) {
  // Cell 0 of a 160 square: centre (5, 5), nominal semi-axes 3.75. Ring pixel
  // (1, 5) has sample points at x 1 1/6, 1 1/2, 1 5/6 and y 5 1/6, 5 1/2,
  // 5 5/6; the column at 1 1/6 falls outside, so it weighs 6. Inner pixel
  // (5, 5) weighs 9. The same count divides both.
  const auto cell0_with_bright_pixel = [](int x, int y, ImageRecord& labels_after) {
    Built b = Build({0, 0, 160, 160});
    ImageRecord plane = PlaneOfBox(b.grid, 0.0f);
    plane.Row<float>(y)[x] = 90.0f;
    CellValues values;
    MeasureCells(plane, b.labels, CellCentres(b.grid), 10, 10, values);
    labels_after = std::move(b.labels);
    return values.value[0];
  };
  ImageRecord ring_labels;
  ImageRecord inner_labels;
  const double ring = cell0_with_bright_pixel(1, 5, ring_labels);
  const double inner = cell0_with_bright_pixel(5, 5, inner_labels);
  ASSERT_GT(inner, 0.0);
  EXPECT_NEAR(ring / inner, 6.0 / 9.0, 1e-12);
  // Partly inside: the pixel stays a ring pixel. (2, 5) lies wholly inside
  // and becomes inner; (0, 5) lies wholly outside and is dropped.
  EXPECT_EQ(LabelAt(ring_labels, 1, 5), 1);
  EXPECT_EQ(LabelAt(ring_labels, 2, 5), 2);
  EXPECT_EQ(LabelAt(ring_labels, 0, 5), 0);
}

TEST(MeasureCells, MeasuringAgainWithTheRefinedMapGivesTheSameValues) {
  Built b = Build({3.3, 7.9, 411.6, 379.2});
  ImageRecord plane = PlaneOfBox(b.grid, 0.0f);
  std::mt19937 random(23);
  std::uniform_real_distribution<float> value(0.0f, 255.0f);
  for (int y = 0; y < plane.height(); ++y) {
    for (int x = 0; x < plane.width(); ++x) plane.Row<float>(y)[x] = value(random);
  }
  const auto centres = CellCentres(b.grid);
  ImageRecord original;
  ASSERT_EQ(original.Allocate(b.labels.width(), b.labels.height(), 1, 16), kResultOk);
  std::copy(b.labels.data(), b.labels.data() + b.labels.size(), original.data());

  CellValues first;
  MeasureCells(plane, b.labels, centres, b.grid.cell_width, b.grid.cell_height, first);
  int dropped = 0;
  int promoted = 0;
  for (int y = 0; y < b.labels.height(); ++y) {
    for (int x = 0; x < b.labels.width(); ++x) {
      const int before = LabelAt(original, x, y);
      const int after = LabelAt(b.labels, x, y);
      if (before == after) continue;
      ASSERT_EQ(before % 2, 1) << "only ring pixels change";
      if (after == 0) ++dropped;
      if (after == before + 1) ++promoted;
      ASSERT_TRUE(after == 0 || after == before + 1);
    }
  }
  EXPECT_GT(dropped, 0);
  EXPECT_GT(promoted, 0);

  CellValues second;
  MeasureCells(plane, b.labels, centres, b.grid.cell_width, b.grid.cell_height, second);
  for (int t = 0; t < 256; ++t) {
    ASSERT_TRUE(second.measured[t]);
    // A promoted pixel adds 9 p rounded to single precision instead of nine
    // exact additions of p: the difference stays within single precision.
    EXPECT_NEAR(second.value[t], first.value[t], 1e-6 * 255) << "cell " << t;
  }
}

TEST(MeasureCells, ACellWithoutSamplesHasNoValueAndNoNaN) {
  // U = 0.9: cells 0 and 1 are both pasted at column 0 with one-pixel masks,
  // so cell 1 covers cell 0 completely and cell 0 keeps no pixel.
  Built b = Build({0, 0, 14.4, 16});
  ASSERT_EQ(CellPasteCorner(b.grid, 0, 1).x, 0);
  const ImageRecord plane = PlaneOfBox(b.grid, 7.0f);
  CellValues values;
  values.value.fill(-1);
  MeasureCells(plane, b.labels, CellCentres(b.grid), b.grid.cell_width, b.grid.cell_height, values);
  EXPECT_FALSE(values.measured[0]);
  EXPECT_EQ(values.value[0], 0.0);
  for (int t = 0; t < 256; ++t) {
    EXPECT_FALSE(std::isnan(values.value[t])) << "cell " << t;
    if (values.measured[t]) {
      EXPECT_DOUBLE_EQ(values.value[t], 7.0);
    }
  }

  // A map without labels measures nothing at all.
  ImageRecord empty_labels;
  ASSERT_EQ(empty_labels.Allocate(plane.width(), plane.height(), 1, 16), kResultOk);
  std::fill(empty_labels.data(), empty_labels.data() + empty_labels.size(), 0);
  MeasureCells(plane, empty_labels, CellCentres(b.grid), 0.9, 1.0, values);
  for (int t = 0; t < 256; ++t) {
    EXPECT_FALSE(values.measured[t]);
    EXPECT_EQ(values.value[t], 0.0);
  }
}

TEST(MeasureCells, APlaneOfAnotherSizeMeasuresNothing) {
  Built b = Build({0, 0, 160, 160});
  ImageRecord plane;
  ASSERT_EQ(plane.Allocate(150, 160, 1, 32), kResultOk);
  CellValues values;
  MeasureCells(plane, b.labels, CellCentres(b.grid), 10, 10, values);
  for (int t = 0; t < 256; ++t) EXPECT_FALSE(values.measured[t]);
}

}  // namespace
}  // namespace pmk
