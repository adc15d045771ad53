// PMKCmd signing camera files: a raw converter's TIFF (EXIF directory and
// profile) and an XMP packet Exiv2 cannot parse end in success without a
// word, and damaged metadata is told on standard error, by what was left
// out, while the picture is still signed and written.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "support/metadata_fixtures.h"
#include "support/pmk_cmd_program.h"
#include "support/run_process.h"

namespace pmk::cmd {
namespace {

using pmk::testing::ProcessResult;
using pmk::testing::RunProcess;
using pmk::testing::TempFolder;

TEST(CameraMetadataTest, SignedWithNoticesOnlyForDamagedMetadata) {
  TempFolder folder;
  pmk::testing::MakeCameraSources(folder.path());
  pmk::testing::MakeDamagedSources(folder.path());
  pmk::testing::MakeCarrySources(folder.path());
  struct Case {
    const char* input;
    const char* output;
    const char* left_out;  // nullptr: no notice
  };
  for (const Case c :
       {Case{"camera.tif", "camera_signed.png", nullptr},
        Case{"dup_xmp.jpg", "dup_xmp_signed.jpg", nullptr},
        Case{"exif_cut.jpg", "cut_signed.jpg", "part of the EXIF data"},
        Case{"lying_profile.jpg", "lying_signed.tif", "the ICC profile (damaged)"}}) {
    SCOPED_TRACE(c.input);
    const ProcessResult result =
        RunProcess(pmk::testing::kPmkCmdProgram,
                   {"-i", (folder / c.input).string(), "-o", (folder / c.output).string(), "-s",
                    "abcdef", "-cores", "2"},
                   folder.path());
    EXPECT_EQ(result.exit_code, 0);
    EXPECT_EQ(result.out, "Success!\n\n");
    if (c.left_out == nullptr) {
      EXPECT_EQ(result.err, "");
    } else {
      const std::string notice = "PMKCmd: metadata of " + (folder / c.input).string() +
                                 " only partly carried over; left out: " + c.left_out;
      EXPECT_EQ(result.err.rfind(notice, 0), 0u) << result.err;
      EXPECT_EQ(result.err.find('\n'), result.err.size() - 1) << "one line";
    }
    EXPECT_TRUE(std::filesystem::exists(folder / c.output));
  }
}

// FreeImage's TIFF reader freed the profile while following the EXIF
// directory of such a file and then copied from the freed block. Run under
// valgrind as the CTest case valgrind.pmkcmd_camera_tiff.
TEST(CameraMetadataTest, CameraTiffSignsCleanlyUnderValgrind) {
  const char* valgrind = std::getenv("PMK_VALGRIND");
  if (valgrind == nullptr) GTEST_SKIP() << "run by the CTest case valgrind.pmkcmd_camera_tiff";
  TempFolder folder;
  pmk::testing::MakeSmallCameraTiff(folder.path());
  const ProcessResult result =
      RunProcess(valgrind,
                 {"-q", "--error-exitcode=99", pmk::testing::kPmkCmdProgram.string(), "-i",
                  (folder / "small_camera.tif").string(), "-o",
                  (folder / "small_camera.png").string(), "-s", "abcdef", "-cores", "2"},
                 folder.path());
  EXPECT_EQ(result.exit_code, 0) << result.err;
  EXPECT_EQ(result.out, "Success!\n\n");
}

}  // namespace
}  // namespace pmk::cmd
