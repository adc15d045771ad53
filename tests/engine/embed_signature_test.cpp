#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cstdint>
#include <cstring>
#include <memory>

#include "engine/engine.h"
#include "engine/internal/candidate_rect.h"
#include "engine/internal/cell_grid.h"
#include "engine/internal/embed_preparation.h"
#include "engine/internal/payload_cells.h"
#include "engine/internal/region_choice.h"
#include "engine/internal/separable_filter.h"
#include "image/checked_allocation.h"
#include "image/image_files.h"
#include "support/pictures.h"

namespace pmk {
namespace {

using pmk::testing::CopyOf;
using pmk::testing::LoadColourPhoto;
using pmk::testing::Sample;

constexpr const char* kPayload = "signSIGNtest-42ab";

bool SamePixels(const ImageRecord& a, const ImageRecord& b) {
  return a.size() == b.size() && std::memcmp(a.data(), b.data(), a.size()) == 0;
}

bool InsideBox(const std::array<std::int32_t, 4>& box, std::int32_t x, std::int32_t y) {
  return x >= box[0] && x < box[2] && y >= box[1] && y < box[3];
}

EmbedOptions Seeded(std::uint32_t seed) {
  EmbedOptions options;
  options.use_fixed_seed = true;
  options.fixed_seed = seed;
  return options;
}

// A signing with the test's payload, on one thread unless `control` says else.
std::uint8_t Embed(ImageRecord& image, const EmbedOptions& options, EmbedReport* report,
                   const EngineControl& control = {}) {
  const PayloadText payload = FormatPayload(kPayload + kPayloadSignatureStart);
  return CodeByte(EmbedSignature(image, payload, control, options, report));
}

// Blue alternates 0 and 255 (and a middle value); green and red vary.
ImageRecord MakeExtremeCarrier(std::int32_t width, std::int32_t height) {
  ImageRecord image;
  EXPECT_EQ(image.Allocate(width, height, 3, 8), kResultOk);
  for (std::int32_t y = 0; y < height; ++y) {
    std::uint8_t* row = image.Row<std::uint8_t>(y);
    for (std::int32_t x = 0; x < width; ++x) {
      const std::int32_t kind = (x + y) % 3;
      row[3 * x] = kind == 0 ? 0 : kind == 1 ? 255 : 100;
      row[3 * x + 1] = static_cast<std::uint8_t>(x * 7 + y);
      row[3 * x + 2] = static_cast<std::uint8_t>(y * 3 + x / 5);
    }
  }
  return image;
}

void ExpectOnlyClamped(const ImageRecord& before, const ImageRecord& after) {
  ASSERT_EQ(before.size(), after.size());
  for (std::int32_t y = 0; y < before.height(); ++y) {
    const std::uint8_t* b = before.Row<std::uint8_t>(y);
    const std::uint8_t* a = after.Row<std::uint8_t>(y);
    for (std::int32_t x = 0; x < before.width() * 3; x += 3) {
      const std::uint8_t clamped = std::clamp<std::uint8_t>(b[x], 3, 252);
      if (a[x] != clamped || a[x + 1] != b[x + 1] || a[x + 2] != b[x + 2]) {
        FAIL() << "pixel " << x / 3 << ", " << y << " changed beyond the clamp";
      }
    }
  }
}

// The 256 cell values of a region of a signed picture, measured the way a
// reader does: blue filtered over the whole picture, a fresh grid and map.
CellValues MeasureRegion(const ImageRecord& image, const CandidateRect& rect) {
  const std::int32_t width = image.width();
  const std::int32_t height = image.height();
  ImageRecord blue;
  ImageRecord filtered;
  ImageRecord scratch;
  EXPECT_EQ(blue.Allocate(width, height, 1, 32), kResultOk);
  EXPECT_EQ(filtered.Allocate(width, height, 1, 32), kResultOk);
  EXPECT_EQ(scratch.Allocate(width, height, 1, 32), kResultOk);
  for (std::int32_t y = 0; y < height; ++y) {
    for (std::int32_t x = 0; x < width; ++x) {
      blue.Row<float>(y)[x] = static_cast<float>(Sample(image, x, y, 0));
    }
  }
  SeparableFilter7(filtered.Floats(), blue.Floats(), width, height, scratch.Floats(),
                   kLowPassKernel7.data(), 1.0);

  const CellGrid grid = MakeCellGrid(rect);
  ImageRecord mask;
  EXPECT_EQ(BuildCellMask(grid.cell_width, grid.cell_height, mask), kResultOk);
  CellValues values;
  MeasureGridCells(filtered, grid, mask, CellCentres(grid), values);
  return values;
}

// The regions a signing of `image` chooses (green and red decide them).
CandidateList ChosenRegions(const ImageRecord& image) {
  CandidateList list;
  EXPECT_EQ(FindEmbeddingCandidates(image, list), kResultOk);
  RemoveNestedCandidates(list);
  EXPECT_EQ(ChooseRegions(list), kResultOk);
  return list;
}

class EmbedSignatureTest : public ::testing::Test {
 protected:
  void SetUp() override { ArmAllocationFailure(0); }
  void TearDown() override { ArmAllocationFailure(0); }
  // A report with marks in it, so that a test can tell whether a call reset it.
  static EmbedReport MarkedReport() {
    EmbedReport report;
    report.regions = 77;
    report.boxes[0] = {1, 2, 3, 4};
    return report;
  }
  // What a call that fails before it chooses its regions reports.
  static void ExpectNoRegions(const EmbedReport& report) {
    EXPECT_EQ(report.regions, 0);
    EXPECT_EQ(report.boxes[0], (std::array<std::int32_t, 4>{}));
  }
};

TEST_F(EmbedSignatureTest, TooManyPixelsIsRefusedAfterTheClamp) {
  // 100,010,000 pixels: one row more than the limit allows.
  ImageRecord image = MakeExtremeCarrier(10000, 10001);
  const ImageRecord before = CopyOf(image);
  EmbedReport report = MarkedReport();
  EXPECT_EQ(Embed(image, Seeded(1), &report), kResultRefused);
  ExpectOnlyClamped(before, image);
  for (std::int32_t y : {0, 5000, 10000}) {
    for (std::int32_t x = 0; x < 3; ++x) {
      EXPECT_NE(Sample(image, x, y, 0), 0);
      EXPECT_NE(Sample(image, x, y, 0), 255);
    }
  }
  ExpectNoRegions(report);
}

TEST_F(EmbedSignatureTest, TwentyMillionPixelsAreProcessed) {
  ImageRecord image = MakeExtremeCarrier(5000, 4000);
  EmbedReport report = MarkedReport();
  EXPECT_EQ(Embed(image, Seeded(3), &report), kResultOk);
  EXPECT_GE(report.regions, 1);
  EXPECT_NE(report.boxes[0], (std::array<std::int32_t, 4>{1, 2, 3, 4}));
  EXPECT_GE(report.passes[0], 1);
}

TEST_F(EmbedSignatureTest, StoppedSearchReturnsOneBeforeAnyRegion) {
  ImageRecord image = LoadColourPhoto("kodim23.png");
  ImageRecord before = CopyOf(image);
  EmbedReport report = MarkedReport();
  const std::atomic<std::int32_t> stop{1};
  EXPECT_EQ(Embed(image, Seeded(1), &report, {.stop = &stop}), kResultRefused);
  ExpectOnlyClamped(before, image);
  ExpectNoRegions(report);
}

// The search gives a plane too small for corners the whole plane as its one
// candidate; the filter cannot run on it, so the region is listed but skipped.
TEST_F(EmbedSignatureTest, RegionTooSmallForTheFilterIsSkipped) {
  ImageRecord image = MakeExtremeCarrier(6, 40);
  const ImageRecord before = CopyOf(image);
  EmbedReport report;
  EXPECT_EQ(Embed(image, Seeded(1), &report), kResultOk);
  ExpectOnlyClamped(before, image);
  ASSERT_EQ(report.regions, 1);
  EXPECT_EQ(report.boxes[0], (std::array<std::int32_t, 4>{0, 0, 6, 40}));
  EXPECT_EQ(report.passes[0], 0);
}

// Bright squares on a dark green-red background give corners that pair into
// four separate regions; blue is a texture with 0 and 255 along the edges.
ImageRecord MakeFourRegionPicture() {
  constexpr std::int32_t kSide = 1300;
  constexpr std::int32_t kSquare = 60;
  const std::int32_t corners[][2] = {{100, 100}, {500, 500},  {750, 100}, {1150, 500},
                                     {100, 750}, {500, 1150}, {750, 750}, {1150, 1150}};
  ImageRecord image;
  EXPECT_EQ(image.Allocate(kSide, kSide, 3, 8), kResultOk);
  for (std::int32_t y = 0; y < kSide; ++y) {
    std::uint8_t* row = image.Row<std::uint8_t>(y);
    for (std::int32_t x = 0; x < kSide; ++x) {
      std::uint8_t guide = 40;
      for (const auto& corner : corners) {
        if (x >= corner[0] && x < corner[0] + kSquare && y >= corner[1] &&
            y < corner[1] + kSquare) {
          guide = 200;
        }
      }
      std::uint8_t blue = static_cast<std::uint8_t>((x * 7 + y * 13) % 200 + 20);
      if (y < 20 || x < 20) blue = (x + y) % 2 == 0 ? 0 : 255;
      row[3 * x] = blue;
      row[3 * x + 1] = guide;
      row[3 * x + 2] = static_cast<std::uint8_t>(guide + 5);
    }
  }
  return image;
}

ImageRecord MakePhotographWithExtremeRows() {
  ImageRecord image = LoadColourPhoto("kodim23.png");
  for (std::int32_t x = 0; x < image.width(); ++x) {
    image.Row<std::uint8_t>(0)[3 * x] = 0;
    image.Row<std::uint8_t>(image.height() - 1)[3 * x] = 255;
  }
  return image;
}

enum class Picture { kPhotograph, kFourRegions };

constexpr std::uint32_t kSeed = 20240601;

struct SignedPicture {
  ImageRecord original;
  ImageRecord signed_image;
  std::uint8_t result = 0;
  EmbedReport report;
};

// Each picture is signed once per test program; tests only read the result.
const SignedPicture& Signed(Picture picture) {
  static std::unique_ptr<SignedPicture> cache[2];
  std::unique_ptr<SignedPicture>& entry = cache[static_cast<int>(picture)];
  if (!entry) {
    entry = std::make_unique<SignedPicture>();
    entry->original =
        picture == Picture::kPhotograph ? MakePhotographWithExtremeRows() : MakeFourRegionPicture();
    entry->signed_image = CopyOf(entry->original);
    entry->result = Embed(entry->signed_image, Seeded(kSeed), &entry->report);
  }
  return *entry;
}

TEST_F(EmbedSignatureTest, PicturesOtherThanEightBitColourAreRefusedUntouched) {
  ImageRecord grey;
  ASSERT_EQ(grey.Allocate(400, 400, 1, 8), kResultOk);
  std::memset(grey.data(), 255, static_cast<std::size_t>(grey.size()));
  EmbedReport report = MarkedReport();
  EXPECT_EQ(Embed(grey, Seeded(1), &report), kResultRefused);
  EXPECT_EQ(grey.data()[0], 255);
  ImageRecord deep;
  ASSERT_EQ(deep.Allocate(400, 400, 3, 16), kResultOk);
  std::memset(deep.data(), 0, static_cast<std::size_t>(deep.size()));
  ExpectNoRegions(report);
  report = MarkedReport();
  EXPECT_EQ(Embed(deep, Seeded(1), &report), kResultRefused);
  EXPECT_EQ(deep.data()[0], 0);
  ExpectNoRegions(report);
}

// A fourth channel is carried along untouched.
TEST_F(EmbedSignatureTest, FourthChannelIsIgnored) {
  ImageRecord photo = LoadColourPhoto("kodim23.png");
  ImageRecord image;
  ASSERT_EQ(image.Allocate(photo.width(), photo.height(), 4, 8), kResultOk);
  for (std::int32_t y = 0; y < photo.height(); ++y) {
    for (std::int32_t x = 0; x < photo.width(); ++x) {
      for (std::int32_t c = 0; c < 3; ++c) {
        image.Row<std::uint8_t>(y)[4 * x + c] = Sample(photo, x, y, c);
      }
      image.Row<std::uint8_t>(y)[4 * x + 3] = static_cast<std::uint8_t>(x ^ y);
    }
  }
  ImageRecord signed_photo = CopyOf(photo);
  ASSERT_EQ(Embed(signed_photo, Seeded(5), nullptr), kResultOk);
  ASSERT_EQ(Embed(image, Seeded(5), nullptr), kResultOk);
  for (std::int32_t y = 0; y < photo.height(); ++y) {
    for (std::int32_t x = 0; x < photo.width(); ++x) {
      for (std::int32_t c = 0; c < 3; ++c) {
        ASSERT_EQ(image.Row<std::uint8_t>(y)[4 * x + c], Sample(signed_photo, x, y, c));
      }
      ASSERT_EQ(image.Row<std::uint8_t>(y)[4 * x + 3], static_cast<std::uint8_t>(x ^ y));
    }
  }
}

class SignedPictureTest : public EmbedSignatureTest, public ::testing::WithParamInterface<Picture> {
 protected:
  void SetUp() override {
    EmbedSignatureTest::SetUp();
    const SignedPicture& picture = Signed(GetParam());
    original_ = &picture.original;
    signed_ = &picture.signed_image;
    result_ = picture.result;
    report_ = picture.report;
  }

  const ImageRecord* original_ = nullptr;
  const ImageRecord* signed_ = nullptr;
  std::uint8_t result_ = 0;
  EmbedReport report_;
};

INSTANTIATE_TEST_SUITE_P(Pictures, SignedPictureTest,
                         ::testing::Values(Picture::kPhotograph, Picture::kFourRegions),
                         [](const ::testing::TestParamInfo<Picture>& info) {
                           return info.param == Picture::kPhotograph ? "Photograph" : "FourRegions";
                         });

TEST(FourRegionPictureTest, SignsSeveralRegionsAwayFromTheEdges) {
  const SignedPicture& picture = Signed(Picture::kFourRegions);
  EXPECT_GE(picture.report.regions, 2);
  for (std::int32_t i = 0; i < picture.report.regions; ++i) {
    EXPECT_GE(picture.report.boxes[i][0], 20);
    EXPECT_GE(picture.report.boxes[i][1], 20);
  }
}

TEST_P(SignedPictureTest, SignsSomeRegionsWithinThePassLimit) {
  EXPECT_EQ(result_, kResultOk);
  ASSERT_GE(report_.regions, 1);
  ASSERT_LE(report_.regions, 5);
  for (std::int32_t i = 0; i < report_.regions; ++i) {
    EXPECT_GE(report_.passes[i], 1);
    EXPECT_LE(report_.passes[i], 100);
    // Only a region that ran out of passes may end with a large correction.
    if (report_.passes[i] < 100) {
      EXPECT_LE(report_.max_abs_correction[i], 0.05);
    }
  }
}

TEST_P(SignedPictureTest, OnlyBlueChangesAndOutsideTheBoxesOnlyByTheClamp) {
  const std::int32_t width = original_->width();
  const std::int32_t height = original_->height();
  std::int64_t changed_inside = 0;
  std::int64_t extreme_outside = 0;
  for (std::int32_t y = 0; y < height; ++y) {
    for (std::int32_t x = 0; x < width; ++x) {
      ASSERT_EQ(Sample(*signed_, x, y, 1), Sample(*original_, x, y, 1));
      ASSERT_EQ(Sample(*signed_, x, y, 2), Sample(*original_, x, y, 2));
      const std::uint8_t blue = Sample(*original_, x, y, 0);
      const std::uint8_t clamped = std::clamp<std::uint8_t>(blue, 3, 252);
      bool inside = false;
      for (std::int32_t i = 0; i < report_.regions; ++i) {
        inside = inside || InsideBox(report_.boxes[i], x, y);
      }
      if (!inside) {
        ASSERT_EQ(Sample(*signed_, x, y, 0), clamped) << x << ", " << y;
        if (blue == 0 || blue == 255) ++extreme_outside;
      } else if (Sample(*signed_, x, y, 0) != clamped) {
        ++changed_inside;
      }
    }
  }
  EXPECT_GT(changed_inside, 0);
  if (GetParam() == Picture::kFourRegions) {
    EXPECT_GT(extreme_outside, 0);
  } else {
    // The photograph's one region is the whole picture, but no cell reaches
    // its edge rows.
    for (std::int32_t x = 0; x < width; ++x) {
      EXPECT_EQ(Sample(*signed_, x, 0, 0), 3);
      EXPECT_EQ(Sample(*signed_, x, height - 1, 0), 252);
    }
  }
}

TEST_P(SignedPictureTest, EveryMeasuredCellReadsItsBit) {
  const CandidateList regions = ChosenRegions(*signed_);
  ASSERT_EQ(static_cast<std::int32_t>(regions.count()), report_.regions);
  const CellBits bits = EncodePayloadCells(kPayload);
  for (std::uint32_t i = 0; i < regions.count(); ++i) {
    const CellGrid grid = MakeCellGrid(regions[i]);
    EXPECT_EQ(report_.boxes[i],
              (std::array<std::int32_t, 4>{grid.left, grid.top, grid.right, grid.bottom}));
    const CellValues values = MeasureRegion(*signed_, regions[i]);
    CellBits read{};
    int measured = 0;
    for (std::size_t t = 0; t < 256; ++t) {
      if (!values.measured[t]) continue;
      ++measured;
      read[t] = CellBitFromValue(values.value[t]);
      EXPECT_EQ(read[t], bits[t]) << "region " << i << " cell " << t << " value "
                                  << values.value[t];
    }
    EXPECT_EQ(measured, 256);
    const DecodedPayload decoded = DecodePayloadCells(read);
    EXPECT_TRUE(decoded.valid);
    EXPECT_STREQ(decoded.text.data() + 8, "test-42ab");
  }
}

TEST_P(SignedPictureTest, SameSeedGivesTheSamePicture) {
  ImageRecord again = CopyOf(*original_);
  EmbedReport report;
  EXPECT_EQ(Embed(again, Seeded(kSeed), &report), kResultOk);
  EXPECT_TRUE(SamePixels(again, *signed_));
  EXPECT_EQ(report.passes, report_.passes);

  ImageRecord other = CopyOf(*original_);
  EXPECT_EQ(Embed(other, Seeded(7), nullptr), kResultOk);
  EXPECT_FALSE(SamePixels(other, *signed_));
}

// A failed allocation at any point of the region work returns 6; the regions
// finished before it are signed exactly as in a full run, the others are
// only clamped, and nothing else changes.
TEST_P(SignedPictureTest, AllocationFailureKeepsFinishedRegions) {
  ImageRecord probe = CopyOf(*original_);
  ArmAllocationFailure(0);
  ASSERT_EQ(Embed(probe, Seeded(kSeed), nullptr), kResultOk);
  const std::int64_t total = AllocationCount();

  const auto box_matches = [](const ImageRecord& a, const ImageRecord& b,
                              const std::array<std::int32_t, 4>& box) {
    for (std::int32_t y = box[1]; y < box[3]; ++y) {
      for (std::int32_t x = box[0]; x < box[2]; ++x) {
        if (Sample(a, x, y, 0) != Sample(b, x, y, 0)) return false;
      }
    }
    return true;
  };
  ImageRecord clamped = CopyOf(*original_);
  ClampCarrier(clamped);

  // The preparation makes the same allocations as choosing the regions alone;
  // inside the search some failures only cost corners, so start after it.
  ArmAllocationFailure(0);
  ChosenRegions(*original_);
  const std::int64_t preparation = AllocationCount();
  ASSERT_GT(total, preparation);
  for (std::int64_t n = preparation + 1; n <= total; ++n) {
    ImageRecord image = CopyOf(*original_);
    ArmAllocationFailure(n);
    EmbedReport report;
    const std::uint8_t result = Embed(image, Seeded(kSeed), &report);
    const bool failed = AllocationFailureTriggered();
    ArmAllocationFailure(0);
    if (!failed) {
      EXPECT_EQ(result, kResultOk);
      continue;
    }
    ASSERT_EQ(result, kResultNoMemory) << "failing allocation " << n;
    EXPECT_EQ(report.regions, report_.regions);
    EXPECT_EQ(report.boxes, report_.boxes);
    bool finished = true;
    for (std::int32_t i = 0; i < report_.regions; ++i) {
      const bool as_signed = box_matches(image, *signed_, report_.boxes[i]);
      const bool as_clamped = box_matches(image, clamped, report_.boxes[i]);
      if (finished && !as_signed) finished = false;
      EXPECT_TRUE(finished ? as_signed : as_clamped)
          << "failing allocation " << n << " region " << i;
    }
    EXPECT_FALSE(finished) << "failing allocation " << n;
    for (std::int32_t y = 0; y < image.height(); ++y) {
      for (std::int32_t x = 0; x < image.width(); ++x) {
        EXPECT_EQ(Sample(image, x, y, 1), Sample(*original_, x, y, 1));
      }
    }
  }
}

TEST_F(EmbedSignatureTest, AllocationFailureBeforeTheRegionsLeavesOnlyTheClamp) {
  ImageRecord image = LoadColourPhoto("kodim23.png");
  const ImageRecord before = CopyOf(image);
  EmbedReport report = MarkedReport();
  ArmAllocationFailure(1);
  EXPECT_EQ(Embed(image, Seeded(1), &report), kResultNoMemory);
  ArmAllocationFailure(0);
  ExpectOnlyClamped(before, image);
  ExpectNoRegions(report);
}

}  // namespace
}  // namespace pmk
