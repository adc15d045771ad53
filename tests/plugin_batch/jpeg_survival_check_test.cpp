#include "plugin/batch/jpeg_survival_check.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "image/plugin_image_files.h"
#include "support/temp_folder.h"

namespace pmk {
namespace {

namespace fs = std::filesystem;
using testing::TempFolder;

// The signed picture that survives is shown by the dialog's tests.
TEST(JpegSurvivalCheck, UnsignedNeverReadsPreservedWorkFolderIsPrivate) {
  TempFolder cache;
  const fs::path work = JpegCheckWorkFolder(cache.path());
  ImageRecord unsigned_picture;
  LoadPluginImage(testing::TestData("kodim23.png"), unsigned_picture);

  for (int quality : {20, 90, 100}) {
    EXPECT_EQ(CheckJpegSurvival(unsigned_picture, quality, work, 1), kResultRefused) << quality;
  }
  EXPECT_EQ(SaveLosslessCopy(unsigned_picture, work), 0);
  EXPECT_TRUE(fs::exists(work / "orig.tif"));
#ifndef _WIN32
  // Windows folders have no mode bits; the user's profile keeps it private.
  struct stat attributes {};
  ASSERT_EQ(stat(work.c_str(), &attributes), 0);
  EXPECT_EQ(attributes.st_mode & 0777, 0700u);
#endif
}

TEST(JpegSurvivalCheck, FailuresGiveNonzeroResults) {
  TempFolder cache;
  testing::WriteBytes(cache / "file", "not a folder");
  ImageRecord rgba;
  LoadPluginImage(testing::TestData("tulips_rgba.png"), rgba);
  ASSERT_EQ(rgba.channels(), 4);
  ImageRecord empty;

  // test.jpg taken by a folder: the JPEG can be neither written nor read.
  const fs::path blocked = cache / "blocked";
  fs::create_directories(blocked / "test.jpg");

  struct Case {
    const char* what;
    const ImageRecord& picture;
    fs::path work;
    std::uint8_t expected;
  };
  const Case cases[] = {
      {"work folder under a file", rgba, cache / "file" / "temp", kJpegCheckNoWorkFiles},
      {"test.jpg cannot be written", rgba, blocked, kJpegCheckNoWorkFiles},
      {"no picture", empty, cache / "work", kResultRefused},
      {"alpha dropped, written, not signed", rgba, cache / "work", kResultRefused},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(CheckJpegSurvival(c.picture, 90, c.work, 2), c.expected) << c.what;
  }
  EXPECT_EQ(SaveLosslessCopy(rgba, cache / "file" / "temp"), kJpegCheckNoWorkFiles);
}

}  // namespace
}  // namespace pmk
