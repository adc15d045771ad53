// Signing real photographs and finding the signature again after the changes
// a picture typically suffers: JPEG compression and reduction.
#include <FreeImage.h>
#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <string>

#include "engine/engine.h"
#include "engine/internal/check_symbols.h"
#include "engine/internal/detect_at_scale.h"
#include "engine/internal/detect_signature.h"
#include "engine/internal/embed_options.h"
#include "image/checked_allocation.h"
#include "image/freeimage_session.h"
#include "image/image_files.h"
#include "image/image_record.h"
#include "platform/process_id.h"
#include "support/pictures.h"

namespace pmk {
namespace {

using pmk::testing::LoadColourPhoto;

constexpr char kSignature[] = "macaw42";
// kodim13 has corner regions of its own; kodim23 has none far enough apart,
// so it is signed in the whole-picture region.
constexpr const char* kPhotos[] = {"kodim13.png", "kodim23.png"};

using Text = OutputText;

EngineControl Threads(int threads) {
  return {.threads = static_cast<std::uint8_t>(threads)};
}

class DetectEndToEndTest : public ::testing::Test {
 protected:
  void SetUp() override {
    EnsureFreeImageReady();
    BuildCheckTriples();
    Reset();
  }
  void TearDown() override { Reset(); }
  static void Reset() { ArmAllocationFailure(0); }
};

void Sign(ImageRecord& picture) {
  EmbedOptions options;
  options.use_fixed_seed = true;
  options.fixed_seed = 20240611;
  EmbedReport report;
  ASSERT_EQ(EmbedSignature(picture, FormatPayload(kSignature), {}, options, &report),
            ResultCode::kOk);
  ASSERT_GT(report.regions, 0);
}

struct BitmapDeleter {
  void operator()(FIBITMAP* bitmap) const { FreeImage_Unload(bitmap); }
};
using Bitmap = std::unique_ptr<FIBITMAP, BitmapDeleter>;

// FreeImage keeps 24-bit pixels blue, green, red like the record, but stores
// rows bottom-up with padded pitch.
Bitmap ToBitmap(const ImageRecord& picture) {
  Bitmap bitmap(FreeImage_Allocate(picture.width(), picture.height(), 24));
  for (std::int32_t y = 0; y < picture.height(); ++y) {
    std::memcpy(FreeImage_GetScanLine(bitmap.get(), picture.height() - 1 - y),
                picture.Row<std::uint8_t>(y), static_cast<std::size_t>(picture.stride()));
  }
  return bitmap;
}

ImageRecord FromBitmap(FIBITMAP* bitmap) {
  ImageRecord picture;
  const auto width = static_cast<std::int32_t>(FreeImage_GetWidth(bitmap));
  const auto height = static_cast<std::int32_t>(FreeImage_GetHeight(bitmap));
  EXPECT_EQ(picture.Allocate(width, height, 3, 8), kResultOk);
  for (std::int32_t y = 0; y < height; ++y) {
    std::memcpy(picture.Row<std::uint8_t>(y), FreeImage_GetScanLine(bitmap, height - 1 - y),
                static_cast<std::size_t>(picture.stride()));
  }
  return picture;
}

ImageRecord RescaleBicubic(const ImageRecord& picture, std::int32_t width, std::int32_t height) {
  const Bitmap source = ToBitmap(picture);
  const Bitmap rescaled(FreeImage_Rescale(source.get(), width, height, FILTER_BICUBIC));
  return FromBitmap(rescaled.get());
}

std::filesystem::path TempFile(const std::string& name) {
  return std::filesystem::temp_directory_path() /
         ("pmk_detect_" + std::to_string(platform::ProcessId()) + "_" + name);
}

class StepCounter : public ProgressNotifier {
 public:
  void ReportStep(std::int32_t) override { ++steps; }
  bool ShouldContinue() override { return true; }
  int steps = 0;
};

TEST_F(DetectEndToEndTest, SignedPhotographIsFoundAtUnitScale) {
  for (const char* name : kPhotos) {
    SCOPED_TRACE(name);
    ImageRecord picture = LoadColourPhoto(name);
    Sign(picture);
    Text text;
    ASSERT_EQ(DetectAtScale(picture, text, 1.0, Threads(1)), ResultCode::kOk);
    EXPECT_STREQ(text.data() + 8, kSignature);

    // On one core the first trial is the unscaled one, and it finds it.
    StepCounter notifier;
    Text searched;
    ASSERT_EQ(DetectSignature(picture, searched, {.notifier = &notifier}), ResultCode::kOk);
    EXPECT_STREQ(searched.data() + 8, kSignature);
    EXPECT_EQ(notifier.steps, 1);
    EXPECT_EQ(std::memcmp(text.data(), searched.data(), 18), 0);
  }
}

TEST_F(DetectEndToEndTest, SignatureSurvivesJpegQuality90) {
  for (const char* name : kPhotos) {
    SCOPED_TRACE(name);
    ImageRecord picture = LoadColourPhoto(name);
    Sign(picture);
    const std::filesystem::path file = TempFile(std::string(name) + ".q90.jpg");
    ASSERT_TRUE(SaveImage(picture, ImageRecord{}, file, {}, 90));
    ImageRecord reloaded;
    ImageRecord alpha;
    ASSERT_TRUE(LoadImage(file, reloaded, alpha));
    std::filesystem::remove(file);
    ConvertTo8BitColour(reloaded);
    Text text;
    ASSERT_EQ(DetectSignature(reloaded, text, Threads(2)), ResultCode::kOk);
    EXPECT_STREQ(text.data() + 8, kSignature);
  }
}

TEST_F(DetectEndToEndTest, SignatureIsFoundAfterReductionToTwoThirds) {
  // Doubling the photograph first keeps its regions well above 320 pixels
  // after the reduction.
  for (const char* name : kPhotos) {
    SCOPED_TRACE(name);
    const ImageRecord photo = LoadColourPhoto(name);
    ImageRecord picture = RescaleBicubic(photo, 2 * photo.width(), 2 * photo.height());
    Sign(picture);
    const ImageRecord reduced =
        RescaleBicubic(picture, picture.width() * 2 / 3, picture.height() * 2 / 3);
    for (const int cores : {1, 2}) {
      Text text;
      ASSERT_EQ(DetectSignature(reduced, text, Threads(cores)), ResultCode::kOk) << cores;
      EXPECT_STREQ(text.data() + 8, kSignature) << cores;
    }
  }
}

TEST_F(DetectEndToEndTest, FourChannelPictureIsSearchedOnItsColourChannels) {
  ImageRecord picture = LoadColourPhoto("kodim23.png");
  Sign(picture);
  ImageRecord with_alpha;
  ASSERT_EQ(with_alpha.Allocate(picture.width(), picture.height(), 4, 8), kResultOk);
  for (std::int32_t y = 0; y < picture.height(); ++y) {
    const std::uint8_t* in = picture.Row<std::uint8_t>(y);
    std::uint8_t* out = with_alpha.Row<std::uint8_t>(y);
    for (std::int32_t x = 0; x < picture.width(); ++x) {
      std::memcpy(out + 4 * x, in + 3 * x, 3);
      out[4 * x + 3] = static_cast<std::uint8_t>(x);  // an alpha that is not flat
    }
  }
  Text text;
  ASSERT_EQ(DetectSignature(with_alpha, text, Threads(1)), ResultCode::kOk);
  EXPECT_STREQ(text.data() + 8, kSignature);
}

TEST_F(DetectEndToEndTest, UnsignedPhotographsAreNeverReportedAsSigned) {
  for (const char* name : {"kodim13.png", "kodim23.png", "rocket_adobergb.jpg"}) {
    const ImageRecord picture = LoadColourPhoto(name);
    Text text;
    EXPECT_EQ(DetectSignature(picture, text, Threads(2)), ResultCode::kRefused) << name;
  }
}

}  // namespace
}  // namespace pmk
