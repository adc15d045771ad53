// A picture of camera size, just above the 20-megapixel mark below which
// every search thread is used regardless of memory: signed, written, read
// back and found by the search on two threads.
#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <filesystem>

#include "engine/engine.h"
#include "engine/internal/check_symbols.h"
#include "engine/internal/detect_at_scale.h"
#include "engine/internal/detect_signature.h"
#include "engine/internal/payload_cells.h"
#include "engine/internal/search_memory_budget.h"
#include "image/image_files.h"
#include "image/image_record.h"
#include "support/temp_folder.h"

namespace pmk {
namespace {

// kodim13 repeated 6 times across and 9 times down: 4608 x 4608 pixels.
ImageRecord TiledPhotograph(int across, int down) {
  ImageRecord photo;
  ImageRecord alpha;
  EXPECT_TRUE(LoadImage(std::filesystem::path(PMK_TEST_DATA_DIR) / "kodim13.png", photo, alpha));
  ImageRecord tiled;
  EXPECT_EQ(tiled.Allocate(photo.width() * across, photo.height() * down, 3, 8), kResultOk);
  for (std::int32_t y = 0; y < tiled.height(); ++y) {
    const std::uint8_t* source = photo.Row<std::uint8_t>(y % photo.height());
    std::uint8_t* row = tiled.Row<std::uint8_t>(y);
    for (int i = 0; i < across; ++i) {
      std::memcpy(row + static_cast<std::ptrdiff_t>(i) * photo.stride(), source,
                  static_cast<std::size_t>(photo.stride()));
    }
  }
  return tiled;
}

TEST(LargePicture, AboveTwentyMegapixelsIsSignedWrittenReadBackAndFound) {
  BuildCheckTriples();
  ImageRecord picture = TiledPhotograph(6, 9);
  ASSERT_GT(static_cast<std::int64_t>(picture.width()) * picture.height(), 20'000'000);

  EmbedOptions options;
  options.use_fixed_seed = true;
  options.fixed_seed = 24;
  EmbedReport report;
  ASSERT_EQ(EmbedSignature(picture, FormatPayload("Big-2026"), {}, options, &report),
            ResultCode::kOk);
  ASSERT_GE(report.regions, 1);

  testing::TempFolder folder;
  const std::filesystem::path file = folder.path() / "signed.bmp";
  ASSERT_TRUE(SaveImage(picture, ImageRecord{}, file, {}, 0));
  picture.Release();
  ImageRecord read_back;
  ImageRecord alpha;
  ASSERT_TRUE(LoadImage(file, read_back, alpha));
  ASSERT_EQ(read_back.channels(), 3);

  OutputText text;
  EXPECT_EQ(DetectSignature(read_back, text, {.threads = 2}), ResultCode::kOk);
  EXPECT_STREQ(text.Signature(), "Big-2026");
}

}  // namespace
}  // namespace pmk
