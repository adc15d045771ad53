#include "image/plugin_image_files.h"

#include <FreeImage.h>
#include <gtest/gtest.h>

#include <cstring>

#include "image/freeimage_bitmap.h"
#include "image/freeimage_session.h"
#include "support/temp_folder.h"

namespace pmk::testing {
namespace {

class PluginImageFilesTest : public ::testing::Test {
 protected:
  void SetUp() override { EnsureFreeImageReady(); }
  TempFolder folder_;
};

TEST_F(PluginImageFilesTest, ColourPicturesArriveUnconverted) {
  ImageRecord picture;
  EXPECT_FALSE(LoadPluginImage(TestData("kodim23.png"), picture));
  EXPECT_EQ(picture.channels(), 3);
  EXPECT_EQ(picture.bits(), 8);
  ImageRecord colour;
  ImageRecord alpha;
  ASSERT_TRUE(LoadImage(TestData("kodim23.png"), colour, alpha));
  EXPECT_EQ(std::memcmp(picture.data(), colour.data(), static_cast<std::size_t>(colour.size())), 0);
}

TEST_F(PluginImageFilesTest, TransparencyStaysInterleaved) {
  ImageRecord picture;
  EXPECT_FALSE(LoadPluginImage(TestData("tulips_rgba.png"), picture));
  ASSERT_EQ(picture.channels(), 4);
  ImageRecord colour;
  ImageRecord alpha;
  ASSERT_TRUE(LoadImage(TestData("tulips_rgba.png"), colour, alpha));
  EXPECT_EQ(picture.Row<std::uint8_t>(10)[4 * 5 + 3], alpha.Row<std::uint8_t>(10)[5]);
  EXPECT_EQ(picture.Row<std::uint8_t>(10)[4 * 5], colour.Row<std::uint8_t>(10)[3 * 5]);
}

TEST_F(PluginImageFilesTest, GreyPaletteAndDeepPicturesAreConvertedToColour) {
  BitmapHandle palette(FreeImage_Allocate(4, 4, 8));
  RGBQUAD* entries = FreeImage_GetPalette(palette.get());
  for (int i = 0; i < 256; ++i) entries[i] = RGBQUAD{static_cast<BYTE>(i), 50, 0, 0};
  ASSERT_TRUE(
      FreeImage_Save(FIF_PNG, palette.get(), (folder_ / "palette.png").string().c_str(), 0));
  BitmapHandle deep(FreeImage_AllocateT(FIT_RGB16, 4, 4));
  ASSERT_TRUE(FreeImage_Save(FIF_PNG, deep.get(), (folder_ / "deep.png").string().c_str(), 0));

  for (const auto& file :
       {TestData("cliff_grey.png"), folder_ / "palette.png", folder_ / "deep.png"}) {
    ImageRecord picture;
    EXPECT_TRUE(LoadPluginImage(file, picture)) << file;
    EXPECT_EQ(picture.channels(), 3) << file;
    EXPECT_EQ(picture.bits(), 8) << file;
  }
}

TEST_F(PluginImageFilesTest, GifIsRecognisedButNotRead) {
  if (!FreeImage_FIFSupportsWriting(FIF_GIF)) GTEST_SKIP() << "FreeImage here writes no GIF";
  BitmapHandle palette(FreeImage_Allocate(4, 4, 8));
  ASSERT_TRUE(FreeImage_Save(FIF_GIF, palette.get(), (folder_ / "p.gif").string().c_str(), 0));
  ImageRecord picture;
  EXPECT_THROW(LoadPluginImage(folder_ / "p.gif", picture), UnsupportedImageFormat);
  EXPECT_FALSE(picture.HasData());
}

TEST_F(PluginImageFilesTest, FilesThatCannotBeLoadedRaiseReadErrors) {
  const std::string jpeg = ReadBytes(TestData("rocket_adobergb.jpg"));
  WriteBytes(folder_ / "truncated.jpg", jpeg.substr(0, jpeg.size() / 3));
  WriteBytes(folder_ / "empty.png", "");
  ImageRecord picture;
  EXPECT_THROW(LoadPluginImage(folder_ / "truncated.jpg", picture), ImageReadError);
  EXPECT_THROW(LoadPluginImage(folder_ / "empty.png", picture), ImageReadError);
  EXPECT_THROW(LoadPluginImage(folder_ / "missing.bmp", picture), ImageReadError);
  EXPECT_THROW(LoadPluginImage(folder_ / "no-extension", picture), UnsupportedImageFormat);
}

TEST_F(PluginImageFilesTest, WriterKeepsAlphaAndCarriesMetadata) {
  ImageRecord picture;
  LoadPluginImage(TestData("tulips_rgba.png"), picture);
  ASSERT_TRUE(SavePluginImage(picture, folder_ / "out.tif", PluginFileFormat::kFromName, "", 95));
  ImageRecord back;
  LoadPluginImage(folder_ / "out.tif", back);
  ASSERT_EQ(back.channels(), 4);
  EXPECT_EQ(std::memcmp(back.data(), picture.data(), static_cast<std::size_t>(picture.size())), 0);

  ImageRecord colour;
  LoadPluginImage(TestData("kodim13_exif_icc.jpg"), colour);
  ASSERT_TRUE(SavePluginImage(colour, folder_ / "test.jpg", PluginFileFormat::kJpeg,
                              TestData("kodim13_exif_icc.jpg"), 90));
  BitmapHandle jpeg(FreeImage_Load(FIF_JPEG, (folder_ / "test.jpg").string().c_str(), 0));
  ASSERT_TRUE(jpeg);
  EXPECT_GT(FreeImage_GetICCProfile(jpeg.get())->size, 0);
  EXPECT_GT(FreeImage_GetMetadataCount(FIMD_EXIF_MAIN, jpeg.get()), 0u);
}

TEST_F(PluginImageFilesTest, WriterErrorsNameTheMetadataSource) {
  ImageRecord picture;
  LoadPluginImage(TestData("kodim23.png"), picture);
  EXPECT_THROW(SavePluginImage(picture, folder_ / "out.gif", PluginFileFormat::kFromName, "", 95),
               UnsupportedImageFormat);
  try {
    SavePluginImage(picture, folder_ / "out.png", PluginFileFormat::kPng, folder_ / "gone.jpg", 95);
    FAIL() << "expected ImageReadError";
  } catch (const ImageReadError& error) {
    EXPECT_EQ(std::string(error.what()), (folder_ / "gone.jpg").string());
  }
  EXPECT_TRUE(std::filesystem::is_empty(folder_.path()));
}

}  // namespace
}  // namespace pmk::testing
