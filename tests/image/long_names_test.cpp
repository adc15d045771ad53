// Files that cannot be opened, under names longer than any message buffer:
// every reader and writer must fail in its documented way, not overrun.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "image/image_files.h"
#include "image/image_record.h"
#include "image/plugin_image_files.h"
#include "support/temp_folder.h"

namespace pmk {
namespace {

using testing::TempFolder;
using testing::TestData;

ImageRecord ColourRecord() {
  ImageRecord record;
  EXPECT_EQ(record.Allocate(8, 8, 3, 8), kResultOk);
  for (std::int32_t i = 0; i < record.size(); ++i) record.data()[i] = static_cast<std::uint8_t>(i);
  return record;
}

class LongNamesTest : public ::testing::Test {
 protected:
  // 600 characters in one folder name: longer than a file system allows, so
  // opening fails, and longer than the library's 512-byte message buffer.
  std::filesystem::path Missing(const std::string& extension) const {
    return folder_ / (std::string(600, 'n') + "/picture" + extension);
  }
  TempFolder folder_;
};

TEST_F(LongNamesTest, LoadingFailsQuietly) {
  for (const char* extension : {".png", ".jpg", ".tif", ".bmp"}) {
    ImageRecord colour;
    ImageRecord alpha;
    EXPECT_FALSE(LoadImage(Missing(extension), colour, alpha)) << extension;
    EXPECT_FALSE(colour.HasData());
    ImageRecord picture;
    EXPECT_THROW(LoadPluginImage(Missing(extension), picture), ImageReadError) << extension;
    EXPECT_FALSE(picture.HasData());
  }
}

TEST_F(LongNamesTest, SavingReportsFailureAndWritesNothing) {
  const ImageRecord colour = ColourRecord();
  for (const char* extension : {".png", ".jpg", ".tif", ".bmp"}) {
    EXPECT_FALSE(SaveImage(colour, ImageRecord(), Missing(extension), "", 95)) << extension;
    EXPECT_FALSE(SavePluginImage(colour, Missing(extension), PluginFileFormat::kFromName, "", 95))
        << extension;
  }
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder_.path()),
                          std::filesystem::directory_iterator()),
            0);
}

TEST_F(LongNamesTest, AnUnopenableMetadataSourceIsAReadError) {
  const ImageRecord colour = ColourRecord();
  const std::filesystem::path out = folder_ / "out.png";
  EXPECT_THROW(SaveImage(colour, ImageRecord(), out, Missing(".jpg"), 95), ImageReadError);
  try {
    SavePluginImage(colour, out, PluginFileFormat::kPng, Missing(".jpg"), 95);
    ADD_FAILURE() << "no exception";
  } catch (const ImageReadError& error) {
    EXPECT_EQ(error.what(), Missing(".jpg").string());
  }
  EXPECT_FALSE(std::filesystem::exists(out));
}

}  // namespace
}  // namespace pmk
