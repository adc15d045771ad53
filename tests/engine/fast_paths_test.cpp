// The engine's fast paths against plain reference versions of the same
// computations. Every comparison is exact: the fast code must perform the same
// floating-point operations in the same order, only arranged differently, so
// a signed picture reads back the same whichever version read it.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "engine/engine.h"
#include "engine/internal/cell_grid.h"
#include "engine/internal/corner_finder.h"
#include "engine/internal/detect_at_scale.h"
#include "engine/internal/exact_cell_sums.h"
#include "engine/internal/float_lanes.h"
#include "engine/internal/guide_plane.h"
#include "engine/internal/resample.h"
#include "engine/internal/search_work.h"
#include "engine/internal/separable_filter.h"
#include "engine/internal/spare_cores.h"
#include "image/checked_allocation.h"
#include "image/image_record.h"
#include "support/pictures.h"
#include "support/reference_cells.h"
#include "support/reference_filter.h"

namespace pmk {
namespace {

using pmk::testing::RandomPlane;

// Samples below 0 and above 255 too: the filters see such values after rescaling.
constexpr float kLowest = -20.0f;
constexpr float kHighest = 270.0f;

void ExpectSameFloats(const std::vector<float>& actual, const std::vector<float>& expected) {
  ASSERT_EQ(actual.size(), expected.size());
  for (std::size_t i = 0; i < expected.size(); ++i) {
    // Bit patterns, so that even the sign of a zero must agree.
    std::uint32_t a = 0;
    std::uint32_t e = 0;
    std::memcpy(&a, &actual[i], 4);
    std::memcpy(&e, &expected[i], 4);
    ASSERT_EQ(a, e) << "sample " << i << ": " << actual[i] << " vs " << expected[i];
  }
}

// Each lane width the engine has (the baseline's four, AVX2's eight,
// AVX-512's sixteen) is held to the plain code, on processors that have it.
class LaneWidthTest : public ::testing::TestWithParam<int> {
 protected:
  void SetUp() override {
    if (ProcessorLaneWidth() < GetParam()) {
      GTEST_SKIP() << "this processor has no " << GetParam() << "-lane instructions (at most "
                   << ProcessorLaneWidth() << " lanes): that path is not tested here";
    }
    MaxLaneWidth.store(GetParam());
    ASSERT_EQ(LaneWidth(), GetParam());
  }
  void TearDown() override { MaxLaneWidth.store(kWidestFloatLanes); }
};

std::string WidthName(const ::testing::TestParamInfo<int>& info) {
  return std::to_string(info.param) + "Lanes";
}

#define PMK_AT_EVERY_LANE_WIDTH(Suite)                                                         \
  using Suite = LaneWidthTest;                                                                 \
  INSTANTIATE_TEST_SUITE_P(Widths, Suite,                                                      \
                           ::testing::Values(kFloatLanes, kWideFloatLanes, kWidestFloatLanes), \
                           WidthName)

PMK_AT_EVERY_LANE_WIDTH(FastSeparableFilterLanes);
PMK_AT_EVERY_LANE_WIDTH(FastCornerResponseLanes);
PMK_AT_EVERY_LANE_WIDTH(FastCornerPeaksLanes);
PMK_AT_EVERY_LANE_WIDTH(FastResampleLanes);
PMK_AT_EVERY_LANE_WIDTH(FastCellMeasurementLanes);
PMK_AT_EVERY_LANE_WIDTH(ExactCellSumsLanes);

struct FilterCase {
  std::int32_t width;
  std::int32_t height;
  double scale;
};

// Sizes at the minimum, around the blocks of every width (rows of 16 + 8 +
// 4 + 3 full outputs, 30 = 16 + 8 + 4 + 2 columns), and tall and wide.
constexpr FilterCase kFilterCases[] = {
    {7, 7, 1.0},     {8, 9, 1.0},    {15, 7, 1.5},   {16, 16, 2.05}, {17, 31, 1.0},
    {23, 8, 1.3},    {30, 12, 1.2},  {37, 10, 1.0},  {64, 9, 2.0},   {9, 64, 1.01},
    {101, 77, 1.75}, {333, 41, 1.0}, {40, 333, 2.05}};

TEST_P(FastSeparableFilterLanes, SevenTapsMatchTwoTransposedPassesExactly) {
  for (const FilterCase& c : kFilterCases) {
    SCOPED_TRACE(::testing::Message() << c.width << "x" << c.height << " at " << c.scale);
    const std::vector<float> source =
        RandomPlane(c.width, c.height, 7u + c.width, kLowest, kHighest);
    const std::vector<float> expected =
        ReferenceFilter<7>(source, c.width, c.height, kLowPassKernel7.data(), c.scale);
    std::vector<float> out(source.size());
    std::vector<float> ring(FilterScratchFloats(c.width, 7));
    SeparableFilter7(out.data(), source.data(), c.width, c.height, ring.data(),
                     kLowPassKernel7.data(), c.scale);
    ExpectSameFloats(out, expected);
  }
}

TEST_P(FastSeparableFilterLanes, FiveTapsMatchTwoTransposedPassesExactly) {
  for (const FilterCase& c : kFilterCases) {
    SCOPED_TRACE(::testing::Message() << c.width << "x" << c.height << " at " << c.scale);
    const std::vector<float> source =
        RandomPlane(c.width, c.height, 11u + c.height, kLowest, kHighest);
    const std::vector<float> expected =
        ReferenceFilter<5>(source, c.width, c.height, kSearchKernel5.data(), c.scale);
    std::vector<float> out(source.size());
    std::vector<float> ring(FilterScratchFloats(c.width, 5));
    SeparableFilter5(out.data(), source.data(), c.width, c.height, ring.data(),
                     kSearchKernel5.data(), c.scale);
    ExpectSameFloats(out, expected);
  }
}

TEST(FastSeparableFilter, InPlaceGivesTheSameAsIntoAnotherPlane) {
  // The ring holds every row still needed, so overwriting the source row by
  // row must not change a single output.
  const std::int32_t width = 45;
  const std::int32_t height = 38;
  std::vector<float> plane = RandomPlane(width, height, 3, kLowest, kHighest);
  const std::vector<float> expected =
      ReferenceFilter<7>(plane, width, height, kLowPassKernel7.data(), 1.4);
  std::vector<float> ring(FilterScratchFloats(width, 7));
  SeparableFilter7(plane.data(), plane.data(), width, height, ring.data(), kLowPassKernel7.data(),
                   1.4);
  ExpectSameFloats(plane, expected);

  std::vector<float> small = RandomPlane(width, height, 4, kLowest, kHighest);
  const std::vector<float> expected5 =
      ReferenceFilter<5>(small, width, height, kSearchKernel5.data(), 1.0);
  SeparableFilter5(small.data(), small.data(), width, height, ring.data(), kSearchKernel5.data(),
                   1.0);
  ExpectSameFloats(small, expected5);
}

TEST(FastSeparableFilter, BandsGiveTheSameAsOneSweep) {
  // Enough rows for several bands, with and without idle cores to run them.
  const std::int32_t width = 37;
  const std::int32_t height = 700;
  for (const int cores : {1, 3}) {
    SCOPED_TRACE(cores);
    const OperationCores operation(cores);
    for (const double scale : {1.0, 1.9}) {
      std::vector<float> plane = RandomPlane(width, height, 8, kLowest, kHighest);
      const std::vector<float> expected =
          ReferenceFilter<7>(plane, width, height, kLowPassKernel7.data(), scale);
      ASSERT_EQ(SeparableFilter7InBands(plane.data(), width, height, kLowPassKernel7.data(), scale),
                kResultOk);
      ExpectSameFloats(plane, expected);
    }
  }
  // Small planes: one band, or nothing written below the filter's size.
  for (const std::int32_t h : {7, 8, 70}) {
    std::vector<float> plane = RandomPlane(9, h, 2, kLowest, kHighest);
    const std::vector<float> expected =
        ReferenceFilter<7>(plane, 9, h, kLowPassKernel7.data(), 1.0);
    ASSERT_EQ(SeparableFilter7InBands(plane.data(), 9, h, kLowPassKernel7.data(), 1.0), kResultOk);
    ExpectSameFloats(plane, expected);
  }
  std::vector<float> tiny = RandomPlane(9, 6, 2, kLowest, kHighest);
  const std::vector<float> before = tiny;
  ASSERT_EQ(SeparableFilter7InBands(tiny.data(), 9, 6, kLowPassKernel7.data(), 1.0), kResultOk);
  ExpectSameFloats(tiny, before);
}

TEST(FastSeparableFilter, TooSmallPlanesAreLeftUnwritten) {
  std::vector<float> source = RandomPlane(6, 20, 5, kLowest, kHighest);
  std::vector<float> out(source.size(), -1.0f);
  std::vector<float> ring(FilterScratchFloats(6, 7));
  SeparableFilter7(out.data(), source.data(), 6, 20, ring.data(), kLowPassKernel7.data(), 1.0);
  for (const float v : out) ASSERT_EQ(v, -1.0f);
  SeparableFilter5(out.data(), source.data(), 20, 4, ring.data(), kSearchKernel5.data(), 1.0);
  for (const float v : out) ASSERT_EQ(v, -1.0f);
}

TEST_P(FastCornerResponseLanes, StreamedRowsGiveThePlaneResponseExactly) {
  struct Size {
    std::int32_t w;
    std::int32_t h;
  };
  // The filters' smallest tiles, widths around the blocks of every width,
  // and a tile taller than every ring of rows.
  const Size sizes[] = {{7, 7}, {8, 9}, {17, 12}, {31, 20}, {45, 33}, {23, 80}};
  for (const Size& size : sizes) {
    for (const double scale : {1.0, 1.3, 2.05}) {
      SCOPED_TRACE(::testing::Message() << size.w << "x" << size.h << " at " << scale);
      const std::vector<float> tile = RandomPlane(size.w, size.h, 40u + size.w, kLowest, kHighest);
      std::vector<float> response(tile.size());
      ASSERT_EQ(ComputeResponse(tile.data(), size.w, size.h, scale, response.data()), kResultOk);
      ExpectSameFloats(response, ReferenceResponse(tile, size.w, size.h, scale));
    }
  }
}

// The plain peak walk: every sample above the threshold and strictly above
// its eight neighbours, left to right and top to bottom, refined, kept when
// inside the tile's own area, then the tile's selection.
std::vector<Corner> ReferenceTileCorners(const std::vector<float>& tile, std::int32_t w,
                                         std::int32_t h, const InnerBox& inner, double scale) {
  const std::vector<float> response = ReferenceResponse(tile, w, h, scale);
  std::vector<Corner> peaks;
  const auto at = [&](std::int32_t x, std::int32_t y) { return response[y * w + x]; };
  for (std::int32_t y = 1; y < h - 1; ++y) {
    for (std::int32_t x = 1; x < w - 1; ++x) {
      bool peak = at(x, y) > kResponseThreshold;
      float around[3][3];
      for (int j = 0; j < 3; ++j) {
        for (int i = 0; i < 3; ++i) {
          around[j][i] = at(x - 1 + i, y - 1 + j);
          if ((i != 1 || j != 1) && !(at(x, y) > around[j][i])) peak = false;
        }
      }
      if (!peak) continue;
      const PeakFit fit = RefinePeak(around);
      const Corner c{x + fit.a - 1.0, y + fit.b - 1.0, fit.response};
      if (!std::isnan(fit.response) && inner.x0 <= c.x && c.x <= inner.x1 && inner.y0 <= c.y &&
          c.y <= inner.y1) {
        peaks.push_back(c);
      }
    }
  }
  peaks.resize(
      SelectCorners(peaks.data(), static_cast<std::uint32_t>(peaks.size()), w, h, kCornersKept));
  return peaks;
}

TEST_P(FastCornerPeaksLanes, FindThePeaksOfThePlainWalk) {
  struct TileCase {
    std::int32_t w;
    std::int32_t h;
    float step;  // > 0: samples rounded to it, so that neighbours tie
  };
  // Widths around the blocks of every width, plateaus, and tiles wide enough
  // to be taken in strips.
  const TileCase cases[] = {{45, 33, 0.0f},  {64, 40, 0.0f},  {9, 9, 0.0f},
                            {83, 70, 40.0f}, {300, 40, 0.0f}, {420, 36, 40.0f}};
  std::size_t listed = 0;
  for (const TileCase& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.w << "x" << c.h << " step " << c.step);
    std::vector<float> tile = RandomPlane(c.w, c.h, 31u + c.w, kLowest, kHighest);
    if (c.step > 0.0f) {
      for (float& v : tile) v = std::round(v / c.step) * c.step;
    }
    if (c.w >= 300) {
      // A bright block whose strong corners lie where the strips meet.
      for (std::int32_t y = 12; y < 28; ++y) {
        for (std::int32_t x = c.w / 2; x < c.w / 2 + 40; ++x) tile[y * c.w + x] += 400.0f;
      }
    }
    const InnerBox inner{2.0, 3.0, c.w - 2.0, c.h - 4.0};
    const std::vector<Corner> expected = ReferenceTileCorners(tile, c.w, c.h, inner, 1.1);
    listed += expected.size();
    std::vector<float> copy = tile;
    HeapArray<Corner> corners;
    std::uint32_t count = 0;
    ASSERT_EQ(FindTileCorners(copy.data(), c.w, c.h, inner, 1.1, corners, count), kResultOk);
    ASSERT_EQ(count, expected.size());
    for (std::uint32_t i = 0; i < count; ++i) {
      EXPECT_EQ(corners[i].x, expected[i].x) << i;
      EXPECT_EQ(corners[i].y, expected[i].y) << i;
      EXPECT_EQ(corners[i].response, expected[i].response) << i;
    }
  }
  EXPECT_GT(listed, 4u);
}

// ---- Resampling straight into the guide and carrier planes ---------------

ImageRecord RandomPicture(std::int32_t width, std::int32_t height, std::uint32_t seed) {
  ImageRecord picture;
  EXPECT_EQ(picture.Allocate(width, height, 3, 8), kResultOk);
  std::mt19937 random(seed);
  for (std::int32_t i = 0; i < picture.size(); ++i) {
    picture.data()[i] = static_cast<std::uint8_t>(random() & 0xff);
  }
  return picture;
}

void ExpectSamePlanes(const ImageRecord& actual, const ImageRecord& expected) {
  ASSERT_EQ(actual.width(), expected.width());
  ASSERT_EQ(actual.height(), expected.height());
  ASSERT_EQ(actual.channels(), 1);
  ASSERT_EQ(actual.bits(), 32);
  ASSERT_EQ(std::memcmp(actual.data(), expected.data(), static_cast<std::size_t>(expected.size())),
            0);
}

TEST_P(FastResampleLanes, PlanesAreTheGuideAndCarrierOfTheThreeChannelPicture) {
  // Widths around the lane blocks, so that the scalar tails are taken too.
  const ImageRecord picture = RandomPicture(53, 41, 9);
  // Reductions (area average), the unit scale and enlargements (bilinear),
  // including the two smallest and the largest scale of the series.
  for (const double scale : {0.5, 0.9, 0.95, 1.0, 1.05, 1.37, 2.0, 2.05}) {
    SCOPED_TRACE(scale);
    ImageRecord three;
    ASSERT_EQ(ResampleImage(three, picture, scale), kResultOk);
    ImageRecord expected_carrier;
    ASSERT_EQ(expected_carrier.Allocate(three.width(), three.height(), 1, 32), kResultOk);
    ExtractChannel(expected_carrier, 0, three);
    ASSERT_EQ(MakeGuidePlane(three), kResultOk);
    ImageRecord guide;
    ImageRecord carrier;
    ASSERT_EQ(ResampleToPlanes(guide, carrier, picture, scale), kResultOk);
    ExpectSamePlanes(guide, three);
    ExpectSamePlanes(carrier, expected_carrier);
    // Each plane alone, through one plane's memory as a threaded search does.
    ResampleWork work;
    ImageRecord one;
    ASSERT_EQ(one.Allocate(three.width(), three.height(), 1, 32), kResultOk);
    const std::pair<PlaneContent, const ImageRecord*> alone[] = {
        {PlaneContent::kGuide, &three}, {PlaneContent::kCarrier, &expected_carrier}};
    for (const auto& [content, expected] : alone) {
      ASSERT_EQ(ResampleToPlane(FloatPlaneOf(one), content, picture, scale, work), kResultOk);
      ExpectSamePlanes(one, *expected);
    }
    EXPECT_EQ(ResampleToPlane(FloatPlaneOf(one), PlaneContent::kBoth, picture, scale, work),
              kResultRefused);
  }
}

TEST(FastResample, AFailedPlaneReleasesBoth) {
  const ImageRecord picture = RandomPicture(20, 10, 1);
  for (int n = 1; n <= 4; ++n) {
    ImageRecord guide;
    ImageRecord carrier;
    ArmAllocationFailure(n);
    const std::uint8_t result = ResampleToPlanes(guide, carrier, picture, 1.5);
    const bool failed = AllocationFailureTriggered();
    ArmAllocationFailure(0);
    if (!failed) break;
    EXPECT_EQ(result, kResultNoMemory) << n;
    EXPECT_FALSE(guide.HasData()) << n;
    EXPECT_FALSE(carrier.HasData()) << n;
  }
}

// ---- Cells measured in place ----------------------------------------------

ImageRecord RandomFloatPlane(std::int32_t width, std::int32_t height, std::uint32_t seed) {
  ImageRecord plane;
  EXPECT_EQ(plane.Allocate(width, height, 1, 32), kResultOk);
  const std::vector<float> values = RandomPlane(width, height, seed, kLowest, kHighest);
  std::memcpy(plane.data(), values.data(), values.size() * sizeof(float));
  return plane;
}

// The plain measurement: cut out the box, build the label map, walk it pixel
// by pixel; a second walk reads the map as the first refined it, and that map
// must be RefineLabelMap's.
struct ReferenceReading {
  CellValues fresh;
  CellValues refined;
};
ReferenceReading ReferenceCells(const ImageRecord& plane, const CandidateRect& rect) {
  const CellGrid grid = MakeCellGrid(rect);
  ImageRecord crop;
  EXPECT_EQ(crop.Allocate(grid.BoxWidth(), grid.BoxHeight(), 1, 32), kResultOk);
  for (std::int32_t y = 0; y < grid.BoxHeight(); ++y) {
    std::memcpy(crop.Row<float>(y), plane.Row<float>(grid.top + y) + grid.left,
                static_cast<std::size_t>(grid.BoxWidth()) * sizeof(float));
  }
  ImageRecord mask;
  ImageRecord labels;
  ImageRecord refined;
  EXPECT_EQ(BuildCellMask(grid.cell_width, grid.cell_height, mask), kResultOk);
  EXPECT_EQ(BuildLabelMap(grid, mask, labels), kResultOk);
  EXPECT_EQ(BuildLabelMap(grid, mask, refined), kResultOk);
  const auto centres = CellCentres(grid);
  RefineLabelMap(refined, centres, grid.cell_width, grid.cell_height);
  ReferenceReading reading;
  MeasureCells(crop, labels, centres, grid.cell_width, grid.cell_height, reading.fresh);
  EXPECT_EQ(std::memcmp(labels.data(), refined.data(), static_cast<std::size_t>(labels.size())), 0);
  MeasureCells(crop, labels, centres, grid.cell_width, grid.cell_height, reading.refined);
  return reading;
}

TEST_P(FastCellMeasurementLanes, GivesExactlyTheValuesOfTheLabelMap) {
  // Samples of very different sizes, whose sums round; samples on a 1/16
  // grid, whose sums never round and are formed in another order; plain ones.
  ImageRecord planes[3] = {RandomFloatPlane(700, 520, 21), RandomFloatPlane(700, 520, 21),
                           RandomFloatPlane(700, 520, 21)};
  const std::int32_t samples = planes[0].width() * planes[0].height();
  for (std::int32_t i = 0; i < samples; i += 3) planes[0].Floats()[i] *= 1e-6f;
  for (std::int32_t i = 0; i < samples; ++i) {
    planes[1].Floats()[i] = std::round(planes[1].Floats()[i] * 16.0f) / 16.0f;
  }
  // From row 300 on the grid plane's sums round again: grid rows across it
  // leave the exact path part way.
  for (std::int32_t x = 0; x < planes[1].width(); x += 7) planes[1].Row<float>(300)[x] *= 1e-6f;
  const CandidateRect rects[] = {
      {0, 0, 160, 160},                 // whole cells, no overlap
      {10.5, 3.25, 180.5, 163.25},      // 10.625 wide: masks overlap by a column
      {123.7, 45.1, 456.9, 401.3},      // fractional everywhere
      {2.2, 7.9, 66.3, 50.1},           // cells of a few pixels: mostly ring
      {300.01, 100.99, 699.99, 519.5},  // up to the plane's far edges
      {0, 0, 700, 520},                 // the whole plane
      {50, 60, 51, 61},                 // cells smaller than a pixel
  };
  // Inner and ring pixels are summed four cells to a vector, or eight with
  // the 512-bit registers.
  for (const ImageRecord& plane : planes) {
    for (const CandidateRect& rect : rects) {
      SCOPED_TRACE(::testing::Message() << "plane " << (&plane - planes) << ": " << rect.x0 << ","
                                        << rect.y0 << "," << rect.x1 << "," << rect.y1);
      const ReferenceReading expected = ReferenceCells(plane, rect);
      const CellGrid grid = MakeCellGrid(rect);
      ImageRecord mask;
      ASSERT_EQ(BuildCellMask(grid.cell_width, grid.cell_height, mask), kResultOk);
      CellValues fresh;
      CellValues refined;
      MeasureGridCells(plane, grid, mask, CellCentres(grid), fresh);
      MeasureGridCells(plane, grid, mask, CellCentres(grid), refined, LabelMapState::kRefined);
      for (int t = 0; t < 256; ++t) {
        ASSERT_EQ(fresh.measured[t], expected.fresh.measured[t]) << "cell " << t;
        ASSERT_EQ(fresh.value[t], expected.fresh.value[t]) << "cell " << t;
        ASSERT_EQ(refined.measured[t], expected.refined.measured[t]) << "cell " << t;
        ASSERT_EQ(refined.value[t], expected.refined.value[t]) << "cell " << t;
      }
    }
  }
}

TEST_P(ExactCellSumsLanes, HoldOnlyWhileNoAdditionCanRound) {
  struct Case {
    const char* what;
    float sample;  // among samples of 8.0
    std::int32_t pixels;
    bool exact;
  };
  const float kInfinity = std::numeric_limits<float>::infinity();
  const Case cases[] = {
      {"whole numbers", 8.0f, 1000, true},
      {"a zero sets no unit", 0.0f, 1000, true},
      {"a sixteenth", 0.0625f, 1000, true},
      {"a tiny sample", 1e-6f, 1000, false},
      {"a second row too many for the unit of 8", 8.0f, 100'000'000, false},
      {"a large sample", 3e8f, 1000, false},
      {"not a number", std::numeric_limits<float>::quiet_NaN(), 1, false},
      {"infinite", -kInfinity, 1, false},
  };
  // A row of 27 samples: blocks of 16 and 8 and three alone at the widest;
  // the odd sample in each part.
  for (const std::int32_t at : {11, 20, 25}) {
    for (const Case& c : cases) {
      SCOPED_TRACE(::testing::Message() << c.what << " at " << at);
      std::vector<float> row(27, 8.0f);
      row[at] = c.sample;
      ExactSums sums;
      EXPECT_TRUE(sums.AddRow(MagnitudesOf(row.data(), at), c.pixels));
      EXPECT_EQ(sums.AddRow(MagnitudesOf(row.data(), 27), c.pixels), c.exact);
      // Once a sum may have rounded, it stays off the exact path.
      EXPECT_EQ(sums.AddRow(MagnitudesOf(row.data(), at), c.pixels), c.exact);
    }
  }
}

TEST(FastCellMeasurement, OneSweepGivesEachGridItsOwnValues) {
  const ImageRecord plane = RandomFloatPlane(640, 480, 5);
  const ConstFloatPlane view = FloatPlaneOf(plane);
  const CandidateRect rects[] = {{0, 0, 640, 480},
                                 {10.5, 20.2, 400.1, 330.7},
                                 {200.3, 5.5, 639.9, 470},
                                 {30, 200, 350, 479.5},
                                 {1, 1, 40, 30}};
  std::vector<ImageRecord> masks(std::size(rects));
  std::vector<GridMeasurement> grids(std::size(rects));
  for (std::size_t k = 0; k < std::size(rects); ++k) {
    const CellGrid grid = MakeCellGrid(rects[k]);
    ASSERT_EQ(BuildCellMask(grid.cell_width, grid.cell_height, masks[k]), kResultOk);
    ASSERT_TRUE(StartGridMeasurement(
        grids[k], view, grid, {masks[k].Row<std::uint16_t>(0), masks[k].width(), masks[k].height()},
        CellCentres(grid)));
  }
  // Two sweeps (every other grid), in stretches of rows, one with shared
  // magnitude blocks and one without.
  std::vector<Magnitudes> blocks(SweepMagnitudeBlocks(view.width));
  for (std::int32_t y = 0; y < view.height; y += 100) {
    const std::int32_t end = std::min(y + 100, view.height);
    SweepGridMeasurements(view, grids.data(), 5, 0, 2, y, end, blocks.data());
    SweepGridMeasurements(view, grids.data(), 5, 1, 2, y, end, nullptr);
  }
  for (std::size_t k = 0; k < std::size(rects); ++k) {
    const CellGrid grid = MakeCellGrid(rects[k]);
    CellValues alone;
    MeasureGridCells(plane, grid, masks[k], CellCentres(grid), alone);
    const CellValues& swept = FinishGridMeasurement(grids[k]);
    for (int t = 0; t < 256; ++t) {
      ASSERT_EQ(swept.measured[t], alone.measured[t]) << k << " cell " << t;
      ASSERT_EQ(swept.value[t], alone.value[t]) << k << " cell " << t;
    }
  }
}

TEST(FastCellMeasurement, ABoxOutsideThePlaneMeasuresNothing) {
  const ImageRecord plane = RandomFloatPlane(100, 100, 2);
  const CellGrid grid = MakeCellGrid({20, 20, 100.5, 90});
  ImageRecord mask;
  ASSERT_EQ(BuildCellMask(grid.cell_width, grid.cell_height, mask), kResultOk);
  CellValues values;
  values.measured[3] = true;
  MeasureGridCells(plane, grid, mask, CellCentres(grid), values);
  for (int t = 0; t < 256; ++t) EXPECT_FALSE(values.measured[t]) << t;
}

}  // namespace
}  // namespace pmk
