// Camera data and colour profiles survive signing: every source format into
// every output format, and damaged metadata that costs nothing but itself.
#include <FreeImage.h>
#include <gtest/gtest.h>
#include <png.h>

#include <array>
#include <csetjmp>
#include <cstdio>
#include <memory>
#include <regex>
#include <sstream>
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

// A PNG's colour description as libpng itself reads it, the way every
// program built on it sees the file; `read` false when libpng refused it.
struct LibpngColour {
  bool read = false;
  std::string profile_name;
  std::string profile;
  bool srgb = false;
  std::array<int, 3> background = {-1, -1, -1};
};

LibpngColour ReadByLibpng(const std::filesystem::path& file) {
  LibpngColour colour;
  std::unique_ptr<std::FILE, int (*)(std::FILE*)> in(std::fopen(file.c_str(), "rb"), &std::fclose);
  png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  if (in == nullptr || png == nullptr || info == nullptr || setjmp(png_jmpbuf(png)) != 0) {
    png_destroy_read_struct(&png, &info, nullptr);
    return colour;
  }
  png_init_io(png, in.get());
  png_read_info(png, info);
  png_charp name = nullptr;
  int compression = 0;
  png_bytep profile = nullptr;
  png_uint_32 size = 0;
  if (png_get_iCCP(png, info, &name, &compression, &profile, &size) != 0) {
    colour.profile_name = name;
    colour.profile.assign(reinterpret_cast<const char*>(profile), size);
  }
  int intent = 0;
  colour.srgb = png_get_sRGB(png, info, &intent) != 0;
  png_color_16p background = nullptr;
  if (png_get_bKGD(png, info, &background) != 0) {
    colour.background = {background->red, background->green, background->blue};
  }
  colour.read = true;
  png_destroy_read_struct(&png, &info, nullptr);
  return colour;
}

// Every tag exiftool reads, "[Group] Name : value" a line, but those of the
// file rather than the picture: the file system's, the storage layout's
// (the written file has its own) and the old file's time.
std::vector<std::string> PictureTags(const std::filesystem::path& file) {
  static const std::regex file_own(
      R"(^\[(System|ExifTool|Composite|JFIF)\]|^\[File\] +(?!Comment )|)"
      R"(^\[IFD0\] +(ImageWidth|ImageHeight|BitsPerSample|Compression|PhotometricInterpretation|)"
      R"(FillOrder|StripOffsets|SamplesPerPixel|RowsPerStrip|StripByteCounts|PlanarConfiguration|)"
      R"(Predictor|PageNumber|SubfileType|SampleFormat|YCbCrPositioning) |)"
      R"(^\[PNG\] +(ImageWidth|ImageHeight|BitDepth|ColorType|Compression|Filter|Interlace|)"
      R"(ModifyDate) )");
  std::istringstream lines(ShellOutput("exiftool -a -G1 -s " + Quoted(file)));
  std::vector<std::string> tags;
  for (std::string line; std::getline(lines, line);) {
    if (!std::regex_search(line, file_own)) tags.push_back(line);
  }
  return tags;
}

class CarriedMetadataTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    folder_ = std::make_unique<TempFolder>();
    testing::MakeCameraSources(folder_->path());
    testing::MakeDamagedSources(folder_->path());
    testing::MakeCarrySources(folder_->path());
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
      if (std::string(extension) == ".png") {
        // exiftool does not check the profile's name; libpng refuses a
        // chunk without one, and with it the profile.
        const LibpngColour seen = ReadByLibpng(output);
        ASSERT_TRUE(seen.read);
        EXPECT_EQ(seen.profile, source.profile ? profile : "");
        if (source.profile) {
          EXPECT_EQ(seen.profile_name,
                    source.name == std::string("camera.png") ? "icm" : "ICC Profile");
        }
      }
    }
  }
}

// What Exiv2 cannot parse or would not keep: every tag of the source that
// the output's format can hold arrives with its value, and a packet Exiv2
// cannot parse arrives byte for byte, without a notice.
TEST_F(CarriedMetadataTest, EveryTagTheOutputCanHoldArrives) {
  for (const auto& [source, extension] :
       std::vector<std::pair<std::string, std::string>>{{"dup_xmp.jpg", ".jpg"},
                                                        {"dup_xmp.jpg", ".png"},
                                                        {"dup_xmp.jpg", ".tif"},
                                                        {"photoshop.jpg", ".jpg"},
                                                        {"colour.tif", ".tif"},
                                                        {"colour.tif", ".jpg"},
                                                        {"colour.png", ".png"}}) {
    const std::filesystem::path output = *folder_ / ("carried_" + source + extension);
    SCOPED_TRACE(output.filename().string());
    MetadataNotices notices;
    SignInto(source, output, notices);
    EXPECT_TRUE(notices.empty()) << notices.front();
    const bool same_format = source.substr(source.size() - 4) == extension;
    const std::vector<std::string> carried = PictureTags(output);
    for (const std::string& tag : PictureTags(*folder_ / source)) {
      // Across formats, Photoshop resources beyond IPTC and PNG chunks have
      // no place.
      if (!same_format && (tag.rfind("[Photoshop]", 0) == 0 || tag.rfind("[PNG", 0) == 0)) {
        continue;
      }
      EXPECT_NE(std::find(carried.begin(), carried.end(), tag), carried.end()) << tag;
    }
    const std::string xmp = ShellOutput("exiftool -b -XMP " + Quoted(output));
    EXPECT_EQ(xmp, ShellOutput("exiftool -b -XMP " + Quoted(*folder_ / source)));
    // With the duplicated property that Exiv2's toolkit refuses.
    EXPECT_EQ(xmp.find("<xmp:Rating>4</xmp:Rating>") != std::string::npos,
              source != "photoshop.jpg");
    // A one-page output is no page of the source.
    EXPECT_EQ(ShellOutput("exiftool -s -s -s -PageNumber " + Quoted(output)), "");
    if (extension == ".png") {
      const LibpngColour seen = ReadByLibpng(output);
      EXPECT_EQ(seen.profile, Profile(*folder_ / source));
      EXPECT_EQ(seen.profile_name, source == "colour.png" ? "icm" : "ICC Profile");
    }
  }
  // The TIFF's Photoshop block as it was.
  const std::string resources = "exiftool -b -PhotoshopSettings ";
  EXPECT_EQ(ShellOutput(resources + Quoted(*folder_ / "carried_colour.tif.tif")),
            ShellOutput(resources + Quoted(*folder_ / "colour.tif")));
}

// A grey source's background becomes the colour output's; sRGB travels.
TEST_F(CarriedMetadataTest, PngColourChunksFitTheWrittenPicture) {
  MetadataNotices notices;
  SignInto("srgb_grey.png", *folder_ / "from_srgb_grey.png", notices);
  EXPECT_TRUE(notices.empty());
  const LibpngColour seen = ReadByLibpng(*folder_ / "from_srgb_grey.png");
  ASSERT_TRUE(seen.read);
  EXPECT_TRUE(seen.srgb);
  EXPECT_EQ(seen.background, (std::array<int, 3>{128, 128, 128}));
  EXPECT_EQ(seen.profile, "");
}

// A Minolta maker note whose preview lies after the EXIF block: the preview
// is not in the block and cannot travel; the rest of the maker note does,
// and the offset that would point into the new file does not.
TEST_F(CarriedMetadataTest, MinoltaPreviewOutsideTheBlockIsNamed) {
  const std::filesystem::path output = *folder_ / "from_minolta.jpg";
  MetadataNotices notices;
  SignInto("minolta.jpg", output, notices);
  ASSERT_EQ(notices.size(), 1u);
  EXPECT_NE(notices[0].find("left out: part of the EXIF data (Minolta.ThumbnailOffset)"),
            std::string::npos)
      << notices[0];
  EXPECT_EQ(ShellOutput("exiftool -s -s -s -Minolta:MakerNoteVersion -Minolta:ColorMode "
                        "-Minolta:PreviewImageStart " +
                        Quoted(output)),
            "MLT0\nSolarization\n");
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
  for (const auto& [name, left_out] : std::vector<std::pair<std::string, std::string>>{
           {"exif_cut.jpg", "left out: part of the EXIF data"},
           {"lying_profile.jpg", "left out: the ICC profile (damaged)"}}) {
    SCOPED_TRACE(name);
    for (const char* extension : {".jpg", ".png", ".tif"}) {
      const std::filesystem::path output = *folder_ / (std::string("damaged_") + name + extension);
      MetadataNotices notices;
      SignInto(name, output, notices);
      ASSERT_EQ(notices.size(), 1u);
      EXPECT_NE(notices[0].find(name), std::string::npos) << notices[0];
      // What was lost, never the parser's words.
      EXPECT_NE(notices[0].find(left_out), std::string::npos) << notices[0];
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
