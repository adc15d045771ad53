// FreeImage's generic TIFF strip loader read past its strip buffer, or made
// misaligned word loads, on grey TIFFs claiming 16385 samples a pixel (fuzz
// targets' findings, kept in tests/fuzz/corpus/). Such layouts are refused
// before the pixels are decoded; the layouts the loader copies within bounds
// still load.
#include "image/tiff_strip_guard.h"

#include <FreeImage.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "image/freeimage_bitmap.h"
#include "image/freeimage_session.h"
#include "image/image_files.h"
#include "image/metadata_free_copy.h"
#include "image/plugin_image_files.h"
#include "support/temp_folder.h"

namespace pmk {
namespace {

std::filesystem::path Corpus(const std::string& name) {
  return testing::TestData("../fuzz/corpus/" + name);
}

TEST(TiffStripGuardTest, OnlyOverrunningLayoutsAreFlagged) {
  EnsureFreeImageReady();
  struct Case {
    const char* file;
    bool overruns;
  };
  for (const Case& c :
       {Case{"fuzz_plugin_reader/regression-tiff-rows-overrun", true},
        Case{"fuzz_plugin_reader/regression-tiff-16385-samples", true},
        Case{"fuzz_image_reader/grey16_5x4.tif", false},
        Case{"fuzz_image_reader/rgb16_4x3.tif", false}, Case{"fuzz_image_reader/rgb8x6.tif", false},
        Case{"fuzz_image_reader/camera_exif_icc.tif", false}}) {
    const std::string bytes = testing::ReadBytes(Corpus(c.file));
    const std::vector<std::uint8_t> copy =
        WithoutMetadataBlocks(FIF_TIFF, std::vector<std::uint8_t>(bytes.begin(), bytes.end()));
    const BitmapHandle header = DecodeWithoutMetadata(FIF_TIFF, copy, FIF_LOAD_NOPIXELS);
    ASSERT_NE(header, nullptr) << c.file;
    EXPECT_EQ(TiffRowsOverrunInFreeImage(copy, header.get()), c.overruns) << c.file;
  }
}

TEST(TiffStripGuardTest, BothReadersRefuseTheOverrunningFile) {
  const std::filesystem::path file = Corpus("fuzz_plugin_reader/regression-tiff-rows-overrun");
  ImageRecord colour;
  ImageRecord alpha;
  EXPECT_FALSE(LoadImage(file, colour, alpha));
  ImageRecord picture;
  EXPECT_THROW(LoadPluginImage(file, picture), ImageReadError);
}

}  // namespace
}  // namespace pmk
