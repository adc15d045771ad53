// Only BMP, JPEG, PNG and TIFF are read, whatever FreeImage could decode and
// whatever the file is named.
#include <FreeImage.h>
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "image/freeimage_bitmap.h"
#include "image/freeimage_session.h"
#include "image/image_files.h"
#include "image/plugin_image_files.h"
#include "support/temp_folder.h"

namespace pmk::testing {
namespace {

// A minimal uncompressed 8-bit RGB Photoshop file (FreeImage reads but cannot
// write them).
std::string MinimalPsd(std::uint32_t width, std::uint32_t height) {
  std::string psd = "8BPS";
  auto put16 = [&](std::uint16_t v) {
    psd += static_cast<char>(v >> 8);
    psd += static_cast<char>(v & 0xFF);
  };
  auto put32 = [&](std::uint32_t v) {
    put16(static_cast<std::uint16_t>(v >> 16));
    put16(static_cast<std::uint16_t>(v & 0xFFFF));
  };
  put16(1);             // version
  psd.append(6, '\0');  // reserved
  put16(3);             // channels
  put32(height);
  put32(width);
  put16(8);  // depth
  put16(3);  // RGB
  put32(0);  // colour mode data
  put32(0);  // image resources
  put32(0);  // layers and masks
  put16(0);  // raw image data follows
  for (std::uint32_t i = 0; i < 3 * width * height; ++i) psd += static_cast<char>(i * 13);
  return psd;
}

class ReaderFormatsTest : public ::testing::Test {
 protected:
  void SetUp() override { EnsureFreeImageReady(); }

  // Writes the same small picture in a format FreeImage can produce; the
  // picture type is adapted to what the format's writer accepts.
  std::filesystem::path WriteWithLibrary(FREE_IMAGE_FORMAT format, const std::string& name) {
    BitmapHandle colour(FreeImage_Allocate(16, 16, 24));
    for (unsigned y = 0; y < 16; ++y) {
      BYTE* line = FreeImage_GetScanLine(colour.get(), y);
      for (unsigned i = 0; i < 48; ++i) line[i] = static_cast<BYTE>(y * 16 + i);
    }
    BitmapHandle converted;
    if (format == FIF_HDR || format == FIF_EXR || format == FIF_PFM) {
      converted.reset(FreeImage_ConvertToRGBF(colour.get()));
    }
    FIBITMAP* picture = converted ? converted.get() : colour.get();
    const std::filesystem::path file = folder_ / name;
    EXPECT_TRUE(FreeImage_Save(format, picture, file.string().c_str(), 0)) << name;
    return file;
  }

  static void ExpectRefusedEverywhere(const std::filesystem::path& file) {
    // The library itself would read it: this is the reach being closed.
    const std::string name = file.string();
    const FREE_IMAGE_FORMAT detected = FreeImage_GetFileType(name.c_str(), 0);
    ASSERT_NE(detected, FIF_UNKNOWN) << name;
    BitmapHandle direct(FreeImage_Load(detected, name.c_str(), 0));
    ASSERT_TRUE(direct) << name;

    ImageRecord colour;
    ImageRecord alpha;
    EXPECT_FALSE(LoadImage(file, colour, alpha)) << name;
    EXPECT_FALSE(colour.HasData()) << name;
    ImageRecord picture;
    EXPECT_THROW(LoadPluginImage(file, picture), UnsupportedImageFormat) << name;
  }

  void ExpectRefusedUnderAnyName(const std::filesystem::path& file) {
    ExpectRefusedEverywhere(file);
    for (const char* disguise : {".jpg", ".png", ".tif", ".bmp"}) {
      const std::filesystem::path renamed = folder_ / (file.filename().string() + "_as" + disguise);
      std::filesystem::copy_file(file, renamed);
      ExpectRefusedEverywhere(renamed);
    }
  }

  TempFolder folder_;
};

TEST_F(ReaderFormatsTest, OtherFormatsFreeImageReadsAreRefused) {
  for (const auto& [format, name] : {std::pair{FIF_TARGA, "picture.tga"},
                                     {FIF_ICO, "picture.ico"},
                                     {FIF_PPM, "picture.ppm"},
                                     {FIF_WEBP, "picture.webp"},
                                     {FIF_HDR, "picture.hdr"},
                                     {FIF_EXR, "picture.exr"},
                                     {FIF_PFM, "picture.pfm"}}) {
    SCOPED_TRACE(name);
    if (!FreeImage_FIFSupportsWriting(format)) continue;
    ExpectRefusedUnderAnyName(WriteWithLibrary(format, name));
  }
}

// Only a FreeImage with its PSD plug-in gets as far as the layers to refuse
// (the Windows build has none: there a PSD is an unknown format).
#define SKIP_WITHOUT_PSD_PLUGIN() \
  if (!FreeImage_FIFSupportsReading(FIF_PSD)) GTEST_SKIP() << "FreeImage here has no PSD plug-in"

TEST_F(ReaderFormatsTest, PhotoshopFilesAreRefused) {
  SKIP_WITHOUT_PSD_PLUGIN();
  WriteBytes(folder_ / "layered.psd", MinimalPsd(8, 4));
  ExpectRefusedUnderAnyName(folder_ / "layered.psd");
}

TEST_F(ReaderFormatsTest, TheFourFormatsStillLoadInBothReaders) {
  ImageRecord colour;
  ImageRecord alpha;
  ASSERT_TRUE(LoadImage(TestData("kodim23.png"), colour, alpha));
  ImageRecord no_alpha;
  for (const char* name : {"out.bmp", "out.jpg", "out.png", "out.tif"}) {
    ASSERT_TRUE(SaveImage(colour, no_alpha, folder_ / name, "", 95));
    ImageRecord back;
    ImageRecord back_alpha;
    EXPECT_TRUE(LoadImage(folder_ / name, back, back_alpha)) << name;
    EXPECT_EQ(back.width(), 768) << name;
    ImageRecord picture;
    EXPECT_NO_THROW(LoadPluginImage(folder_ / name, picture)) << name;
    EXPECT_EQ(picture.channels(), 3) << name;
  }
}

TEST_F(ReaderFormatsTest, MetadataSourcesFollowTheSameRule) {
  SKIP_WITHOUT_PSD_PLUGIN();
  ImageRecord colour;
  ImageRecord alpha;
  ASSERT_TRUE(LoadImage(TestData("kodim23.png"), colour, alpha));
  WriteBytes(folder_ / "source.psd", MinimalPsd(8, 4));
  std::filesystem::copy_file(folder_ / "source.psd", folder_ / "source_as.jpg");
  for (const char* source : {"source.psd", "source_as.jpg"}) {
    try {
      SaveImage(colour, alpha, folder_ / "out.png", folder_ / source, 95);
      ADD_FAILURE() << "expected UnsupportedImageFormat for " << source;
    } catch (const UnsupportedImageFormat& error) {
      EXPECT_EQ(std::string(error.what()), (folder_ / source).string());
    }
    EXPECT_THROW(SavePluginImage(colour, folder_ / "out.png", PluginFileFormat::kFromName,
                                 folder_ / source, 95),
                 UnsupportedImageFormat);
  }
  EXPECT_FALSE(std::filesystem::exists(folder_ / "out.png"));
  // A JPEG source keeps working.
  EXPECT_TRUE(SaveImage(colour, alpha, folder_ / "out.png", TestData("kodim13_exif_icc.jpg"), 95));
}

}  // namespace
}  // namespace pmk::testing
