// Camera data and colour profiles survive signing: every source format into
// every output format, and damaged metadata that costs nothing but itself.
#include <FreeImage.h>
#include <gtest/gtest.h>

#include <array>
#include <memory>
#include <string>
#include <vector>

#include "engine/engine.h"
#include "image/freeimage_bitmap.h"
#include "image/image_files.h"
#include "image/plugin_image_files.h"
#include "support/metadata_fixtures.h"

namespace pmk {
namespace {

using testing::Quoted;
using testing::ShellOutput;
using testing::TempFolder;

// Make, Model, DateTimeOriginal, GPS position, and exiftool's warning, one
// line each ("-" for a missing tag).
std::string CameraTags(const std::filesystem::path& file) {
  return ShellOutput(
      "exiftool -f -s -s -s -Make -Model -DateTimeOriginal -GPSLatitude "
      "-GPSLongitude -Warning " +
      Quoted(file));
}

std::string Profile(const std::filesystem::path& file) {
  return ShellOutput("exiftool -b -ICC_Profile " + Quoted(file));
}

class CarriedMetadataTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    folder_ = std::make_unique<TempFolder>();
    testing::MakeCameraSources(folder_->path());
    testing::MakeDamagedSources(folder_->path());
    // One signed picture, written with each source's metadata in turn.
    signed_ = std::make_unique<ImageRecord>();
    ImageRecord alpha;
    ASSERT_TRUE(LoadImage(*folder_ / "camera.png", *signed_, alpha));
    ASSERT_EQ(EmbedSignature(*signed_, FormatPayload("abcdef"), {}), ResultCode::kOk);
  }
  static void TearDownTestSuite() {
    signed_.reset();
    folder_.reset();
  }

  // Writes the signed picture with `source`'s metadata and checks that the
  // written file still carries the signature.
  static void SignInto(const std::string& source, const std::filesystem::path& output,
                       MetadataNotices& notices) {
    ASSERT_TRUE(SaveImage(*signed_, ImageRecord{}, output, *folder_ / source, 95, &notices));
    ImageRecord back;
    ImageRecord alpha;
    ASSERT_TRUE(LoadImage(output, back, alpha)) << output;
    OutputText text;
    EXPECT_EQ(DetectAtScale(back, text, 1.0, {}), ResultCode::kOk) << output;
  }

  static std::unique_ptr<TempFolder> folder_;
  static std::unique_ptr<ImageRecord> signed_;
};

std::unique_ptr<TempFolder> CarriedMetadataTest::folder_;
std::unique_ptr<ImageRecord> CarriedMetadataTest::signed_;

TEST_F(CarriedMetadataTest, EverySourceIntoEveryOutput) {
  const std::string no_tags = "-\n-\n-\n-\n-\n-\n";
  const std::string camera = CameraTags(*folder_ / "camera.jpg");
  ASSERT_NE(camera.find("Kodak"), std::string::npos);
  const std::string profile = Profile(*folder_ / "profile.icc");
  ASSERT_EQ(profile.size(), 560u);

  struct Source {
    const char* name;
    bool exif;
    bool profile;
  };
  for (const Source source : {Source{"camera.jpg", true, true}, Source{"camera.png", true, true},
                              Source{"camera.tif", true, true}, Source{"deep.tif", false, true},
                              Source{"plain.bmp", false, false}}) {
    for (const char* extension : {".jpg", ".png", ".tif", ".bmp"}) {
      const std::filesystem::path output =
          *folder_ / (std::string("from_") + source.name + extension);
      SCOPED_TRACE(output.filename().string());
      MetadataNotices notices;
      SignInto(source.name, output, notices);
      EXPECT_TRUE(notices.empty()) << notices.front();
      // BMP holds no metadata; a warning would be the last line.
      const bool holds = std::string(extension) != ".bmp";
      EXPECT_EQ(CameraTags(output), holds && source.exif ? camera : no_tags);
      EXPECT_EQ(Profile(output), holds && source.profile ? profile : "");
    }
  }
}

TEST_F(CarriedMetadataTest, MalformedExifNeverReachesFreeImage) {
  for (const char* name : {"exif_loop.jpg", "exif_loop.tif", "camera.tif"}) {
    SCOPED_TRACE(name);
    std::vector<std::uint8_t> bytes;
    ASSERT_TRUE(ReadWholeFile((*folder_ / name).string(), bytes));
    const FREE_IMAGE_FORMAT format =
        name[std::string(name).size() - 1] == 'g' ? FIF_JPEG : FIF_TIFF;
    // Whatever FreeImage's metadata readers find lands in these models;
    // they stay empty because the readers never see a block.
    BitmapHandle bitmap = DecodeWithoutMetadata(format, bytes, 0);
    ASSERT_NE(bitmap, nullptr);
    for (const FREE_IMAGE_MDMODEL model : {FIMD_EXIF_EXIF, FIMD_EXIF_GPS, FIMD_EXIF_MAKERNOTE,
                                           FIMD_EXIF_INTEROP, FIMD_EXIF_RAW, FIMD_IPTC, FIMD_XMP}) {
      EXPECT_EQ(FreeImage_GetMetadataCount(model, bitmap.get()), 0u) << model;
    }
    ImageRecord colour;
    ImageRecord alpha;
    EXPECT_TRUE(LoadImage(*folder_ / name, colour, alpha));
    ImageRecord picture;
    EXPECT_NO_THROW(LoadPluginImage(*folder_ / name, picture));
    MetadataNotices notices;
    SignInto(name, *folder_ / (std::string("signed_") + name + ".jpg"), notices);
  }
}

TEST_F(CarriedMetadataTest, DamagedMetadataIsToldAndThePictureWritten) {
  for (const char* name : {"exif_cut.jpg", "lying_profile.jpg"}) {
    SCOPED_TRACE(name);
    for (const char* extension : {".jpg", ".png", ".tif"}) {
      const std::filesystem::path output = *folder_ / (std::string("damaged_") + name + extension);
      MetadataNotices notices;
      SignInto(name, output, notices);
      ASSERT_EQ(notices.size(), 1u);
      EXPECT_NE(notices[0].find(name), std::string::npos) << notices[0];
      EXPECT_EQ(notices[0].find('\n'), std::string::npos);
      // Nothing damaged is passed on: exiftool finds no fault in the output.
      EXPECT_EQ(ShellOutput("exiftool -s -s -s -Warning " + Quoted(output)), "");
    }
  }
}

// FreeImage's TIFF reader freed the profile while following the EXIF
// directory of such a file and then copied from the freed block. Also run
// under valgrind, as the CTest case valgrind.readers_camera_tiff.
TEST(CameraTiffReadersTest, BothReadersAndTheMetadataCopyReadIt) {
  TempFolder folder;
  testing::MakeSmallCameraTiff(folder.path());
  ImageRecord picture;
  EXPECT_FALSE(LoadPluginImage(folder / "small_camera.tif", picture));
  EXPECT_EQ(picture.channels(), 3);
  ImageRecord colour;
  ImageRecord alpha;
  ASSERT_TRUE(LoadImage(folder / "small_camera.tif", colour, alpha));
  MetadataNotices notices;
  for (const char* name : {"out.png", "out.tif"}) {
    EXPECT_TRUE(SaveImage(colour, alpha, folder / name, folder / "small_camera.tif", 95, &notices));
    EXPECT_TRUE(SavePluginImage(picture, folder / (std::string("plugin_") + name),
                                PluginFileFormat::kFromName, folder / "small_camera.tif", 95,
                                &notices));
  }
  EXPECT_TRUE(notices.empty());
  EXPECT_EQ(Profile(folder / "out.png"), Profile(folder / "plugin_out.tif"));
  EXPECT_NE(Profile(folder / "out.png"), "");
}

}  // namespace
}  // namespace pmk
