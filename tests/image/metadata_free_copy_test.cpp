// The copy FreeImage decodes, on TIFFs the fuzz targets found
// (tests/fuzz/corpus/*/regression-*): FreeImage turned a fraction from the
// first directory into an int, or the resolution into dots a metre, through
// an unchecked cast, undefined for the values these files hold, and copied a
// two-byte DateTime at its nominal 20 bytes. The entries never reach it now:
// FreeImage records none of them, and keeps its default of 300 dots an inch.
#include "image/metadata_free_copy.h"

#include <FreeImage.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "image/freeimage_bitmap.h"
#include "image/freeimage_session.h"
#include "support/temp_folder.h"

namespace pmk {
namespace {

struct FuzzFinding {
  const char* input;  // under tests/fuzz/corpus/
  const char* entry;  // FreeImage's name of the entry that held the value
};

TEST(MetadataFreeCopyTest, TiffFractionsNeverReachTheDecoder) {
  EnsureFreeImageReady();
  constexpr unsigned kDefaultDotsPerMeter = 11811;  // 300 dots an inch
  for (const FuzzFinding& finding : {
           FuzzFinding{"fuzz_plugin_reader/regression-tiff-resolution-out-of-range", "XResolution"},
           FuzzFinding{"fuzz_image_reader/regression-tiff-primaries-out-of-range",
                       "PrimaryChromaticities"},
           FuzzFinding{"fuzz_image_reader/regression-tiff-short-datetime", "DateTime"},
       }) {
    const std::string bytes =
        testing::ReadBytes(testing::TestData(std::string("../fuzz/corpus/") + finding.input));
    const std::vector<std::uint8_t> file(bytes.begin(), bytes.end());
    const BitmapHandle header = DecodeWithoutMetadata(FIF_TIFF, file, FIF_LOAD_NOPIXELS);
    ASSERT_NE(header, nullptr) << finding.input;
    FITAG* tag = nullptr;
    EXPECT_FALSE(FreeImage_GetMetadata(FIMD_EXIF_MAIN, header.get(), finding.entry, &tag))
        << finding.input;
    EXPECT_EQ(FreeImage_GetDotsPerMeterX(header.get()), kDefaultDotsPerMeter) << finding.input;
    EXPECT_EQ(FreeImage_GetDotsPerMeterY(header.get()), kDefaultDotsPerMeter) << finding.input;
  }
}

}  // namespace
}  // namespace pmk
