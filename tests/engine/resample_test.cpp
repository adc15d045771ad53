#include "engine/internal/resample.h"

#include <gtest/gtest.h>

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "image/checked_allocation.h"
#include "image/image_record.h"

namespace pmk {
namespace {

// A three-channel 8-bit picture whose sample (x, y, c) is value(x, y, c).
template <class Value>
ImageRecord MakePicture(std::int32_t width, std::int32_t height, Value value) {
  ImageRecord picture;
  EXPECT_EQ(picture.Allocate(width, height, 3, 8), kResultOk);
  for (std::int32_t y = 0; y < height; ++y) {
    std::uint8_t* row = picture.Row<std::uint8_t>(y);
    for (std::int32_t x = 0; x < width; ++x) {
      for (int c = 0; c < 3; ++c) row[3 * x + c] = static_cast<std::uint8_t>(value(x, y, c));
    }
  }
  return picture;
}

float Sample(const ImageRecord& plane, std::int32_t x, std::int32_t y, int c) {
  return plane.Row<float>(y)[3 * x + c];
}

TEST(ProductTable, RowsAreAccumulatedWeightSteps) {
  HeapArray<double> table;
  ASSERT_EQ(FillProductTable(table), kResultOk);
  ASSERT_EQ(table.size(), 1001u * 256u);
  for (int v = 0; v < 256; ++v) {
    EXPECT_EQ(table[v], 0.0);
    EXPECT_EQ(table[256 + v], v * 0.001);
    // Row 2 is row 1 added to itself, and the last row is the full sample
    // within the rounding of a thousand additions.
    EXPECT_EQ(table[2 * 256 + v], v * 0.001 + v * 0.001);
    EXPECT_NEAR(table[1000 * 256 + v], v, 1e-9);
    EXPECT_NEAR(table[500 * 256 + v], v * 0.5, 1e-9);
  }
  // Accumulation differs from fresh products somewhere: the rows carry the
  // rounding of repeated addition.
  bool differs = false;
  for (int i = 3; i < 1001 && !differs; ++i) {
    for (int v = 1; v < 256 && !differs; ++v) differs = table[i * 256 + v] != v * i * 0.001;
  }
  EXPECT_TRUE(differs);
}

TEST(ProductTable, PaddedRowsHoldTheSameNumbersAndZeroPadding) {
  HeapArray<double> packed;
  HeapArray<double> padded;
  ASSERT_EQ(FillProductTable(packed), kResultOk);
  ASSERT_EQ(FillProductTable(padded, kPaddedProductRow), kResultOk);
  ASSERT_EQ(padded.size(), 1001u * kPaddedProductRow);
  for (int i = 0; i < 1001; ++i) {
    const double* row = padded.data() + static_cast<std::ptrdiff_t>(i) * kPaddedProductRow;
    // Bit for bit: the accumulated rows, not merely close to them.
    ASSERT_EQ(std::memcmp(row, packed.data() + i * 256, 256 * sizeof(double)), 0) << "row " << i;
    for (int v = 256; v < kPaddedProductRow; ++v) ASSERT_EQ(row[v], 0.0) << "row " << i;
  }
}

TEST(ProductTable, FailedAllocationGivesNoMemory) {
  HeapArray<double> table;
  ArmAllocationFailure(1);
  EXPECT_EQ(FillProductTable(table), kResultNoMemory);
  ArmAllocationFailure(0);
  EXPECT_TRUE(table.empty());
}

TEST(ResampleToFloat, UnitScaleReproducesEverySample) {
  const ImageRecord picture =
      MakePicture(13, 9, [](int x, int y, int c) { return (x * 37 + y * 101 + c * 71) % 256; });
  ImageRecord out;
  ASSERT_EQ(ResampleImage(out, picture, 1.0), kResultOk);
  ASSERT_EQ(out.width(), 13);
  ASSERT_EQ(out.height(), 9);
  ASSERT_EQ(out.channels(), 3);
  ASSERT_EQ(out.bits(), 32);
  for (int y = 0; y < 9; ++y) {
    for (int x = 0; x < 13; ++x) {
      for (int c = 0; c < 3; ++c) {
        EXPECT_EQ(Sample(out, x, y, c), picture.Row<std::uint8_t>(y)[3 * x + c])
            << x << "," << y << "," << c;
      }
    }
  }
}

TEST(ResampleToFloat, RescaledSizeTruncatesTheProduct) {
  const ImageRecord picture = MakePicture(10, 7, [](int, int, int) { return 0; });
  ImageRecord out;
  ASSERT_EQ(ResampleImage(out, picture, 1.55), kResultOk);
  EXPECT_EQ(out.width(), 15);   // 15.5
  EXPECT_EQ(out.height(), 10);  // 10.85
  ASSERT_EQ(ResampleImage(out, picture, 0.95), kResultOk);
  EXPECT_EQ(out.width(), 9);   // 9.5
  EXPECT_EQ(out.height(), 6);  // 6.65
}

TEST(ResampleToFloat, HalvingAveragesBlocksAndNeverTakesTheLastRowOrColumn) {
  // 5 x 5 gives 2 x 2 outputs of whole 2 x 2 blocks; row 4 and column 4 are
  // outside every block and are set to a value that would show.
  const ImageRecord picture = MakePicture(5, 5, [](int x, int y, int c) {
    if (x == 4 || y == 4) return 255;
    return 10 * x + 50 * y + c;
  });
  ImageRecord out;
  ASSERT_EQ(ResampleImage(out, picture, 0.5), kResultOk);
  ASSERT_EQ(out.width(), 2);
  ASSERT_EQ(out.height(), 2);
  for (int c = 0; c < 3; ++c) {
    EXPECT_FLOAT_EQ(Sample(out, 0, 0, c), (0 + 10 + 50 + 60) / 4.0f + c);
    EXPECT_FLOAT_EQ(Sample(out, 1, 0, c), (20 + 30 + 70 + 80) / 4.0f + c);
    EXPECT_FLOAT_EQ(Sample(out, 0, 1, c), (100 + 110 + 150 + 160) / 4.0f + c);
    EXPECT_FLOAT_EQ(Sample(out, 1, 1, c), (120 + 130 + 170 + 180) / 4.0f + c);
  }
}

TEST(ResampleToFloat, HalvingAnEvenPictureShortensTheLastBlock) {
  // 4 x 4: the second block would reach column 3, the last one, so it only
  // takes column 2 (and likewise for rows).
  const ImageRecord picture = MakePicture(4, 4, [](int x, int y, int) { return 10 * x + 50 * y; });
  ImageRecord out;
  ASSERT_EQ(ResampleImage(out, picture, 0.5), kResultOk);
  ASSERT_EQ(out.width(), 2);
  EXPECT_FLOAT_EQ(Sample(out, 0, 0, 0), (0 + 10 + 50 + 60) / 4.0f);
  EXPECT_FLOAT_EQ(Sample(out, 1, 0, 0), (20 + 70) / 2.0f);
  EXPECT_FLOAT_EQ(Sample(out, 0, 1, 0), (100 + 110) / 2.0f);
  EXPECT_FLOAT_EQ(Sample(out, 1, 1, 0), 120.0f);
}

TEST(ResampleToFloat, ReductionWeighsOnlyTheFirstPartialColumnAndRow) {
  // At 0.8 each output covers 1.25 source samples. Output (1, 1) starts at
  // 1.25 in both directions: the first column and row weigh 0.75, the second
  // ones count in full even though only a quarter of them is covered.
  const ImageRecord picture = MakePicture(6, 6, [](int x, int y, int) { return 7 * x + 40 * y; });
  ImageRecord out;
  ASSERT_EQ(ResampleImage(out, picture, 0.8), kResultOk);
  ASSERT_EQ(out.width(), 4);
  auto p = [&](int x, int y) { return 7.0 * x + 40.0 * y; };
  const double expected = (0.75 * 0.75 * p(1, 1) + 0.75 * p(2, 1) + 0.75 * p(1, 2) + p(2, 2)) /
                          (0.75 * 0.75 + 0.75 + 0.75 + 1.0);
  EXPECT_NEAR(Sample(out, 1, 1, 0), expected, 1e-4);
  // Output (0, 0) starts on a whole sample: columns and rows 0 and 1 in full.
  EXPECT_NEAR(Sample(out, 0, 0, 0), (p(0, 0) + p(1, 0) + p(0, 1) + p(1, 1)) / 4.0, 1e-4);
}

TEST(ResampleToFloat, DoublingInterpolatesAndExtrapolatesTheFirstRows) {
  // Top row 10, 50; bottom row 100, 200 (channel 0). At 2x the source rows
  // sit at -0.25, 0.25, 0.75, 1.25: the first output row lies above row 0
  // and is extrapolated from rows 0 and 1; the last one repeats row 1.
  // Columns are clamped instead: the first output column is column 0.
  const std::array<std::array<int, 2>, 2> values{{{10, 50}, {100, 200}}};
  const ImageRecord picture =
      MakePicture(2, 2, [&](int x, int y, int c) { return values[y][x] + c; });
  ImageRecord out;
  ASSERT_EQ(ResampleImage(out, picture, 2.0), kResultOk);
  ASSERT_EQ(out.width(), 4);
  ASSERT_EQ(out.height(), 4);
  const std::array<std::array<double, 4>, 4> expected{{
      {-12.5, -6.25, 6.25, 12.5},  // 1.25 * top - 0.25 * bottom
      {32.5, 46.25, 73.75, 87.5},  // 0.75 * top + 0.25 * bottom
      {77.5, 98.75, 141.25, 162.5},
      {100.0, 125.0, 175.0, 200.0},
  }};
  for (int y = 0; y < 4; ++y) {
    for (int x = 0; x < 4; ++x) {
      EXPECT_NEAR(Sample(out, x, y, 0), expected[y][x], 1e-4) << x << "," << y;
      // Every channel uses the same weights.
      EXPECT_NEAR(Sample(out, x, y, 2), expected[y][x] + 2.0, 1e-4) << x << "," << y;
    }
  }
}

TEST(ResampleToFloat, EnlargementQuantisesFractionsToThousandths) {
  // At 3x the column fractions are 1/3 and 2/3, looked up as 333 and 667
  // thousandths.
  const ImageRecord picture = MakePicture(2, 1, [](int x, int, int) { return x == 0 ? 0 : 255; });
  ImageRecord out;
  ASSERT_EQ(ResampleImage(out, picture, 3.0), kResultOk);
  ASSERT_EQ(out.width(), 6);
  // s for column 2 is 1/6 - 1/2 + 2/3 = 1/3 (accumulated): weight 0.333.
  EXPECT_NEAR(Sample(out, 2, 0, 0), 255 * 0.333, 1e-4);
  EXPECT_NEAR(Sample(out, 3, 0, 0), 255 * 0.667, 1e-4);
}

TEST(ResampleImage, FailedAllocationsLeaveNothing) {
  const ImageRecord picture = MakePicture(8, 8, [](int, int, int) { return 1; });
  for (int failing = 1; failing <= 2; ++failing) {
    ImageRecord out;
    ArmAllocationFailure(failing);
    EXPECT_EQ(ResampleImage(out, picture, 1.5), kResultNoMemory) << failing;
    ArmAllocationFailure(0);
    EXPECT_FALSE(out.HasData());
  }
}

}  // namespace
}  // namespace pmk
