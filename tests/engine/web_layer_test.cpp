// The web layer through the engine's entries: a round trip that leaves the
// cell mark's carrier alone, the publishing pipelines on a large picture, unsigned
// pictures left unreported, refusals, and every allocation refused in turn.
#include "engine/internal/web_layer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <string>

#include "engine/engine.h"
#include "image/checked_allocation.h"
#include "image/image_files.h"
#include "support/metadata_fixtures.h"
#include "support/pictures.h"
#include "support/temp_folder.h"

namespace pmk {
namespace {

using testing::CopyOf;
using testing::LoadColourPhoto;
using testing::Quoted;
using testing::ShellOutput;
using testing::TempFolder;

EmbedOptions Seeded(std::uint32_t seed) {
  EmbedOptions options;
  options.use_fixed_seed = true;
  options.fixed_seed = seed;
  return options;
}

double Psnr(const ImageRecord& a, const ImageRecord& b) {
  double sum = 0.0;
  for (std::int32_t i = 0; i < a.size(); ++i) {
    const double d = static_cast<double>(a.data()[i]) - b.data()[i];
    sum += d * d;
  }
  return 10.0 * std::log10(255.0 * 255.0 * a.size() / std::max(sum, 1e-9));
}

std::string Read(const ImageRecord& picture) {
  OutputText text;
  return DetectWebLayer(picture, text, {}) == ResultCode::kOk ? text.Signature() : "";
}

TEST(WebLayerTest, RoundTripChangesOnlyGreenAndRedRepeatablyAndFaintly) {
  const ImageRecord original = LoadColourPhoto("kodim13.png");
  ImageRecord signed_picture = CopyOf(original);
  ASSERT_EQ(EmbedWebLayer(signed_picture, FormatPayload("Web-Layer1"), {}, Seeded(7)),
            ResultCode::kOk);
  EXPECT_EQ(Read(signed_picture), "Web-Layer1");
  EXPECT_GE(Psnr(original, signed_picture), 50.0);
  for (std::int32_t y = 0; y < original.height(); ++y) {
    for (std::int32_t x = 0; x < original.width(); ++x) {
      ASSERT_EQ(signed_picture.Row<std::uint8_t>(y)[3 * x], original.Row<std::uint8_t>(y)[3 * x]);
    }
  }
  // The same seed gives the same pixels; another seed rounds differently.
  ImageRecord again = CopyOf(original);
  ImageRecord other = CopyOf(original);
  ASSERT_EQ(EmbedWebLayer(again, FormatPayload("Web-Layer1"), {}, Seeded(7)), ResultCode::kOk);
  ASSERT_EQ(EmbedWebLayer(other, FormatPayload("Web-Layer1"), {}, Seeded(8)), ResultCode::kOk);
  EXPECT_EQ(std::memcmp(again.data(), signed_picture.data(), again.size()), 0);
  EXPECT_NE(std::memcmp(other.data(), signed_picture.data(), other.size()), 0);
  EXPECT_EQ(Read(other), "Web-Layer1");
  // The caller's stop flag ends a read before its first hypothesis.
  const std::atomic<std::int32_t> stop{1};
  OutputText text;
  EXPECT_EQ(DetectWebLayer(signed_picture, text, {.stop = &stop}), ResultCode::kRefused);
}

TEST(WebLayerTest, TheCellMarkStillReadsUnderTheLayer) {
  for (const char* photo : {"kodim13.png", "kodim23.png"}) {
    ImageRecord picture = LoadColourPhoto(photo);
    const PayloadText payload = FormatPayload("both01");
    ASSERT_EQ(EmbedSignature(picture, payload, {}, Seeded(3), nullptr), ResultCode::kOk);
    ASSERT_EQ(EmbedWebLayer(picture, payload, {}, Seeded(3)), ResultCode::kOk);
    OutputText text;
    ASSERT_EQ(DetectAtScale(picture, text, 1.0, {}), ResultCode::kOk) << photo;
    EXPECT_STREQ(text.Signature(), "both01");
    EXPECT_EQ(Read(picture), "both01") << photo;
  }
}

TEST(WebLayerTest, UnsignedPicturesAreNotReported) {
  for (const char* photo : {"kodim13.png", "kodim23.png", "kodim13_q92.png", "rocket_night.png",
                            "kodim01_crop.jpg", "cliff_grey.png", "tulips_rgba.png"}) {
    EXPECT_EQ(Read(LoadColourPhoto(photo)), "") << photo;
  }
  // Generated pictures: noise, stripes, a gradient with noise.
  for (std::uint32_t seed = 1; seed <= 6; ++seed) {
    ImageRecord picture = testing::GreyPicture(320 + 16 * static_cast<std::int32_t>(seed), 240);
    std::uint32_t state = seed * 2654435761u;
    for (std::int32_t y = 0; y < picture.height(); ++y) {
      for (std::int32_t x = 0; x < picture.width(); ++x) {
        state = state * 1664525u + 1013904223u;
        const int noise = static_cast<int>(state >> 27);
        const int value = seed % 3 == 0   ? noise * 8
                          : seed % 3 == 1 ? ((x / static_cast<int>(seed + 1)) % 2) * 200 + noise
                                          : (x + y) / 3 + noise;
        for (int c = 0; c < 3; ++c) {
          picture.Row<std::uint8_t>(y)[3 * x + c] = static_cast<std::uint8_t>(value & 255);
        }
      }
    }
    EXPECT_EQ(Read(picture), "") << seed;
  }
}

TEST(WebLayerTest, OtherLayoutsTinyAndFlatPicturesAreRefused) {
  ImageRecord grey16 = testing::GreyPicture(200, 200, 3, 16);
  ImageRecord tiny = testing::GreyPicture(63, 400);
  ImageRecord flat = testing::GreyPicture(400, 300);
  OutputText text;
  for (ImageRecord* picture : {&grey16, &tiny, &flat}) {
    EXPECT_EQ(EmbedWebLayer(*picture, FormatPayload("abcdef"), {}, Seeded(1)),
              ResultCode::kRefused);
    EXPECT_EQ(DetectWebLayer(*picture, text, {}), ResultCode::kRefused);
  }
  EXPECT_EQ(flat.data()[0], 128);  // refused pictures stay as they were
}

TEST(WebLayerTest, TheReaderFindsTheStepAgainAfterAChangeOfGain) {
  // Projections placed on a dithered lattice of the signing step, far from
  // the origin as a picture's are, with some noise; then scaled.
  std::array<double, web::kCodedBits> placed;
  std::array<double, web::kCodedBits> dither;
  std::uint32_t state = 12345;
  const auto uniform = [&state] {
    state = state * 1664525u + 1013904223u;
    return (state >> 8) * 0x1.0p-24;
  };
  for (std::size_t k = 0; k < placed.size(); ++k) {
    dither[k] = uniform();
    const double index = std::round((uniform() - 0.5) * 12.0) + dither[k] + 0.5 * (k % 2);
    placed[k] = (index + (uniform() - 0.5) * 0.2) * web::kStep;
  }
  for (const double gain : {0.8, 0.86, 0.9, 1.0, 1.1, 1.17, 1.25}) {
    std::array<double, web::kCodedBits> seen;
    for (std::size_t k = 0; k < seen.size(); ++k) seen[k] = placed[k] * gain;
    EXPECT_NEAR(web::FittingStep(seen.data(), dither.data()) / (web::kStep * gain), 1.0, 0.006)
        << gain;
  }
}

TEST(WebLayerTest, EveryRefusedAllocationEndsInNoMemoryAndLeavesThePictureAlone) {
  const ImageRecord original = LoadColourPhoto("rocket_night.png");
  ImageRecord signed_picture = CopyOf(original);
  ASSERT_EQ(EmbedWebLayer(signed_picture, FormatPayload("seam-web"), {}, Seeded(2)),
            ResultCode::kOk);
  for (int entry = 0; entry < 2; ++entry) {
    bool completed = false;
    for (std::int64_t n = 1; n < 200 && !completed; ++n) {
      ImageRecord picture = CopyOf(entry == 0 ? original : signed_picture);
      ArmAllocationFailure(n);
      OutputText text;
      const ResultCode code = entry == 0
                                  ? EmbedWebLayer(picture, FormatPayload("seam-web"), {}, Seeded(2))
                                  : DetectWebLayer(picture, text, {});
      const bool triggered = AllocationFailureTriggered();
      ArmAllocationFailure(0);
      if (!triggered) {
        EXPECT_EQ(code, ResultCode::kOk) << entry;
        completed = true;
        continue;
      }
      EXPECT_EQ(code, ResultCode::kNoMemory) << entry << " at " << n;
      if (entry == 0) {
        EXPECT_EQ(std::memcmp(picture.data(), original.data(), original.size()), 0) << n;
      }
    }
    EXPECT_TRUE(completed) << entry;
  }
}

// A picture of 3072 x 2048 (kodim13 enlarged four times), signed with the
// layer alone, published through ImageMagick as a web site would.
TEST(WebLayerTest, SurvivesPublishingPipelinesOnALargePicture) {
#ifdef _WIN32
  GTEST_SKIP() << "ImageMagick publishes the copies: a Linux program here";
#endif
  const TempFolder folder;
  const std::filesystem::path large = folder / "large.png";
  ASSERT_EQ(ShellOutput("convert " + Quoted(testing::TestData("kodim13.png")) +
                        " -filter Lanczos -resize 400% " + Quoted(large) + " && echo ok"),
            "ok\n");
  ImageRecord picture;
  ImageRecord alpha;
  ASSERT_TRUE(LoadImage(large, picture, alpha));
  ASSERT_EQ(EmbedWebLayer(picture, FormatPayload("Publish-7"), {}, Seeded(11)), ResultCode::kOk);
  const std::filesystem::path signed_file = folder / "signed.png";
  ASSERT_TRUE(SaveImage(picture, alpha, signed_file, "", 95));
  const struct {
    const char* what;
    const char* arguments;
  } pipelines[] = {
      {"1080 px + JPEG 80", "-resize 1080x1080 -quality 80"},
      {"720 px + JPEG 60", "-resize 720x720 -quality 60"},
      {"512 px + JPEG 50", "-resize 512x512 -quality 50"},
      {"2 % crop, 1080 px + JPEG 80",
       "-gravity center -crop 96%x96%+0+0 +repage -resize 1080x1080 -quality 80"},
      {"turned 90 degrees, 1080 px + JPEG 80", "-rotate 90 -resize 1080x1080 -quality 80"},
      {"mirrored, 1080 px + JPEG 80", "-flop -resize 1080x1080 -quality 80"},
      {"unsharp after the resize", "-resize 1080x1080 -unsharp 0x1 -quality 80"},
      {"contrast +10 %", "-function polynomial 1.1,-0.05 -resize 1080x1080 -quality 80"},
  };
  for (const auto& p : pipelines) {
    const std::filesystem::path published = folder / "published.jpg";
    ASSERT_EQ(ShellOutput("convert " + Quoted(signed_file) + " " + p.arguments + " " +
                          Quoted(published) + " && echo ok"),
              "ok\n")
        << p.what;
    ImageRecord copy;
    ImageRecord no_alpha;
    ASSERT_TRUE(LoadImage(published, copy, no_alpha)) << p.what;
    ConvertTo8BitColour(copy);
    EXPECT_EQ(Read(copy), "Publish-7") << p.what;
  }
}

}  // namespace
}  // namespace pmk
