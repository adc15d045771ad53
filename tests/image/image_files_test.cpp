#include "image/image_files.h"

#include <FreeImage.h>
#include <gtest/gtest.h>
#ifndef _WIN32
#include <unistd.h>
#endif

#include <cstdio>
#include <cstring>
#include <string>
#include <utility>

#include "image/freeimage_bitmap.h"
#include "image/freeimage_session.h"
#include "support/temp_folder.h"

namespace pmk::testing {
namespace {

class ImageFilesTest : public ::testing::Test {
 protected:
  void SetUp() override { EnsureFreeImageReady(); }

  // Saves a FreeImage bitmap made by the test and releases it.
  static void SaveBitmap(FIBITMAP* bitmap, FREE_IMAGE_FORMAT format,
                         const std::filesystem::path& file) {
    ASSERT_NE(bitmap, nullptr);
    BitmapHandle owned(bitmap);
    ASSERT_TRUE(FreeImage_Save(format, bitmap, file.string().c_str(), 0));
  }

  static ImageRecord ColourRecord(std::int32_t width, std::int32_t height) {
    ImageRecord record;
    EXPECT_EQ(record.Allocate(width, height, 3, 8), kResultOk);
    for (std::int32_t i = 0; i < record.size(); ++i)
      record.data()[i] = static_cast<std::uint8_t>(i * 7);
    return record;
  }

  static BitmapHandle LoadBack(const std::filesystem::path& file, int flags = 0) {
    const std::string name = file.string();
    return BitmapHandle(
        FreeImage_Load(FreeImage_GetFileType(name.c_str(), 0), name.c_str(), flags));
  }

  static std::string ExifValue(FIBITMAP* bitmap, FREE_IMAGE_MDMODEL model, const char* key) {
    FITAG* tag = nullptr;
    if (!FreeImage_GetMetadata(model, bitmap, key, &tag) || tag == nullptr) return "";
    return FreeImage_TagToString(model, tag);
  }

  // The embedded ICC profile as exiftool extracts it; empty when there is none.
#ifndef _WIN32
  static std::string ExiftoolProfile(const std::filesystem::path& file) {
    const std::string command = "exiftool -b -ICC_Profile '" + file.string() + "' 2>/dev/null";
    std::string bytes;
    if (FILE* pipe = ::popen(command.c_str(), "r")) {
      char buffer[4096];
      std::size_t n = 0;
      while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) bytes.append(buffer, n);
      ::pclose(pipe);
    }
    return bytes;
  }
#endif

  TempFolder folder_;
};

TEST_F(ImageFilesTest, EightBitColourArrivesBlueGreenRed) {
  ImageRecord colour;
  ImageRecord alpha;
  ASSERT_TRUE(LoadImage(TestData("kodim23.png"), colour, alpha));
  EXPECT_EQ(colour.width(), 768);
  EXPECT_EQ(colour.height(), 512);
  EXPECT_EQ(colour.channels(), 3);
  EXPECT_EQ(colour.bits(), 8);
  EXPECT_FALSE(alpha.HasData());
  // Compare one pixel with the library's own view of the top row.
  BitmapHandle bitmap = LoadBack(TestData("kodim23.png"));
  RGBQUAD pixel;
  ASSERT_TRUE(FreeImage_GetPixelColor(bitmap.get(), 100, 511, &pixel));
  const std::uint8_t* top = colour.Row<std::uint8_t>(0) + 3 * 100;
  EXPECT_EQ(top[0], pixel.rgbBlue);
  EXPECT_EQ(top[1], pixel.rgbGreen);
  EXPECT_EQ(top[2], pixel.rgbRed);
}

TEST_F(ImageFilesTest, PalettePicturesAreRefused) {
  FIBITMAP* palette = FreeImage_Allocate(8, 8, 8);
  RGBQUAD* entries = FreeImage_GetPalette(palette);
  for (int i = 0; i < 256; ++i)
    entries[i] = RGBQUAD{static_cast<BYTE>(i), 0, static_cast<BYTE>(255 - i), 0};
  SaveBitmap(palette, FIF_PNG, folder_ / "palette.png");
  ImageRecord colour;
  ImageRecord alpha;
  EXPECT_FALSE(LoadImage(folder_ / "palette.png", colour, alpha));
  EXPECT_FALSE(colour.HasData());
}

TEST_F(ImageFilesTest, SixteenBitGreyKeepsOneSixteenBitChannel) {
  FIBITMAP* grey = FreeImage_AllocateT(FIT_UINT16, 3, 2);
  for (unsigned y = 0; y < 2; ++y) {
    auto* line = reinterpret_cast<std::uint16_t*>(FreeImage_GetScanLine(grey, y));
    for (unsigned x = 0; x < 3; ++x) line[x] = static_cast<std::uint16_t>(1000 * (y + 1) + x);
  }
  SaveBitmap(grey, FIF_PNG, folder_ / "grey16.png");
  ImageRecord colour;
  ImageRecord alpha;
  ASSERT_TRUE(LoadImage(folder_ / "grey16.png", colour, alpha));
  EXPECT_EQ(colour.channels(), 1);
  EXPECT_EQ(colour.bits(), 16);
  // Scanline 1 is the top row.
  EXPECT_EQ(colour.Row<std::uint16_t>(0)[2], 2002);
  EXPECT_EQ(colour.Row<std::uint16_t>(1)[0], 1000);
}

TEST_F(ImageFilesTest, RgbaPngSplitsIntoColourAndAlpha) {
  ImageRecord colour;
  ImageRecord alpha;
  ASSERT_TRUE(LoadImage(TestData("tulips_rgba.png"), colour, alpha));
  EXPECT_EQ(colour.channels(), 3);
  EXPECT_EQ(colour.bits(), 8);
  ASSERT_TRUE(alpha.HasData());
  EXPECT_EQ(alpha.channels(), 1);
  EXPECT_EQ(alpha.bits(), 8);
  BitmapHandle bitmap = LoadBack(TestData("tulips_rgba.png"));
  const BYTE* line = FreeImage_GetScanLine(bitmap.get(), 499 - 250);
  EXPECT_EQ(alpha.Row<std::uint8_t>(250)[7], line[4 * 7 + FI_RGBA_ALPHA]);
  EXPECT_EQ(colour.Row<std::uint8_t>(250)[3 * 7], line[4 * 7 + FI_RGBA_BLUE]);
  EXPECT_EQ(colour.Row<std::uint8_t>(250)[3 * 7 + 2], line[4 * 7 + FI_RGBA_RED]);
}

TEST_F(ImageFilesTest, FortyEightBitTiffGivesBlueFirst) {
  FIBITMAP* rgb = FreeImage_AllocateT(FIT_RGB16, 2, 1);
  auto* pixels = reinterpret_cast<FIRGB16*>(FreeImage_GetScanLine(rgb, 0));
  pixels[0] = FIRGB16{0x1111, 0x2222, 0x3333};
  pixels[1] = FIRGB16{0xAAAA, 0xBBBB, 0xCCCC};
  SaveBitmap(rgb, FIF_TIFF, folder_ / "rgb48.tif");
  ImageRecord colour;
  ImageRecord alpha;
  ASSERT_TRUE(LoadImage(folder_ / "rgb48.tif", colour, alpha));
  ASSERT_EQ(colour.channels(), 3);
  ASSERT_EQ(colour.bits(), 16);
  const std::uint16_t* row = colour.Row<std::uint16_t>(0);
  EXPECT_EQ(row[0], 0x3333);
  EXPECT_EQ(row[1], 0x2222);
  EXPECT_EQ(row[2], 0x1111);
  EXPECT_EQ(row[3], 0xCCCC);
  EXPECT_EQ(row[5], 0xAAAA);
}

TEST_F(ImageFilesTest, SixteenBitRgbaKeepsSixteenBitAlpha) {
  FIBITMAP* rgba = FreeImage_AllocateT(FIT_RGBA16, 1, 1);
  reinterpret_cast<FIRGBA16*>(FreeImage_GetScanLine(rgba, 0))[0] = FIRGBA16{10, 20, 30, 40000};
  SaveBitmap(rgba, FIF_PNG, folder_ / "rgba64.png");
  ImageRecord colour;
  ImageRecord alpha;
  ASSERT_TRUE(LoadImage(folder_ / "rgba64.png", colour, alpha));
  EXPECT_EQ(colour.Row<std::uint16_t>(0)[0], 30);
  EXPECT_EQ(colour.Row<std::uint16_t>(0)[2], 10);
  ASSERT_EQ(alpha.bits(), 16);
  EXPECT_EQ(alpha.Row<std::uint16_t>(0)[0], 40000);
}

TEST_F(ImageFilesTest, AnEarlierAlphaStaysWhenTheNewPictureHasNone) {
  ImageRecord colour;
  ImageRecord alpha;
  ASSERT_TRUE(LoadImage(TestData("tulips_rgba.png"), colour, alpha));
  ASSERT_TRUE(LoadImage(TestData("kodim23.png"), colour, alpha));
  EXPECT_EQ(colour.width(), 768);
  EXPECT_EQ(alpha.width(), 500);
}

TEST_F(ImageFilesTest, BadInputFailsInOrderAndLeavesTheRecordsAlone) {
  const std::string jpeg = ReadBytes(TestData("rocket_adobergb.jpg"));
  WriteBytes(folder_ / "empty.jpg", "");
  WriteBytes(folder_ / "truncated.jpg", jpeg.substr(0, jpeg.size() / 3));
  WriteBytes(folder_ / "text.png", "this is not a picture\n");
  std::filesystem::create_directory(folder_ / "folder.png");
  const std::string png = ReadBytes(TestData("kodim23.png"));
  WriteBytes(folder_ / "truncated.png", png.substr(0, png.size() / 2));

  ImageRecord colour;
  ImageRecord alpha;
  ASSERT_EQ(colour.Allocate(2, 2, 1, 8), kResultOk);
  for (const char* name :
       {"empty.jpg", "truncated.jpg", "text.png", "folder.png", "missing.png", "truncated.png"}) {
    EXPECT_FALSE(LoadImage(folder_ / name, colour, alpha)) << name;
    EXPECT_EQ(colour.width(), 2) << name;
    EXPECT_FALSE(alpha.HasData()) << name;
  }
}

TEST_F(ImageFilesTest, UnreadableFileFails) {
#ifdef _WIN32
  GTEST_SKIP() << "permissions here only make a file read-only";
#else
  if (::geteuid() == 0) GTEST_SKIP() << "file permissions do not bind the superuser";
#endif
  std::filesystem::copy_file(TestData("kodim23.png"), folder_ / "locked.png");
  std::filesystem::permissions(folder_ / "locked.png", std::filesystem::perms::none);
  ImageRecord colour;
  ImageRecord alpha;
  EXPECT_FALSE(LoadImage(folder_ / "locked.png", colour, alpha));
}

TEST_F(ImageFilesTest, AnEnormousHeaderIsRefusedWithoutReadingPixels) {
  // A valid PNG header claiming 100000 x 100000 pixels, with no pixel data.
  FIBITMAP* tiny = FreeImage_Allocate(1, 1, 24);
  SaveBitmap(tiny, FIF_PNG, folder_ / "tiny.png");
  std::string bytes = ReadBytes(folder_ / "tiny.png");
  const unsigned char size[8] = {0x00, 0x01, 0x86, 0xA0, 0x00, 0x01, 0x86, 0xA0};
  std::memcpy(bytes.data() + 16, size, 8);
  // The header's checksum covers the size; fix it so that only the size is odd.
  std::uint32_t crc = 0xFFFFFFFFu;
  for (int i = 12; i < 29; ++i) {
    crc ^= static_cast<unsigned char>(bytes[i]);
    for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
  }
  crc ^= 0xFFFFFFFFu;
  for (int i = 0; i < 4; ++i) bytes[29 + i] = static_cast<char>(crc >> (24 - 8 * i));
  WriteBytes(folder_ / "huge.png", bytes);

  ImageRecord colour;
  ImageRecord alpha;
  EXPECT_FALSE(LoadImage(folder_ / "huge.png", colour, alpha));
  EXPECT_FALSE(colour.HasData());
}

TEST_F(ImageFilesTest, ExtensionsChooseTheFormatIgnoringCase) {
  ImageRecord colour = ColourRecord(16, 8);
  ImageRecord no_alpha;
  for (const auto& [name, format] : {std::pair{"a.JPG", FIF_JPEG},
                                     {"b.jpeg", FIF_JPEG},
                                     {"c.Png", FIF_PNG},
                                     {"d.bmp", FIF_BMP},
                                     {"e.tif", FIF_TIFF},
                                     {"f.tiff", FIF_TIFF}}) {
    const std::string file = (folder_ / name).string();
    ASSERT_TRUE(SaveImage(colour, no_alpha, file, "", 95)) << name;
    EXPECT_EQ(FreeImage_GetFileType(file.c_str(), 0), format) << name;
  }
}

TEST_F(ImageFilesTest, JpegQualityIsPassedAndDefaultsTo95) {
  ImageRecord colour = ColourRecord(64, 48);
  ImageRecord no_alpha;
  auto reference = [&](int flags) {
    const std::filesystem::path file = folder_ / ("ref" + std::to_string(flags) + ".jpg");
    FIBITMAP* bitmap = FreeImage_Allocate(64, 48, 24);
    for (int y = 0; y < 48; ++y) {
      std::memcpy(FreeImage_GetScanLine(bitmap, 47 - y), colour.Row<std::uint8_t>(y), 64 * 3);
    }
    BitmapHandle owned(bitmap);
    EXPECT_TRUE(FreeImage_Save(FIF_JPEG, bitmap, file.string().c_str(), flags));
    return ReadBytes(file);
  };
  ASSERT_TRUE(SaveImage(colour, no_alpha, folder_ / "q0.jpg", "", 0));
  ASSERT_TRUE(SaveImage(colour, no_alpha, folder_ / "qneg.jpeg", "", -5));
  ASSERT_TRUE(SaveImage(colour, no_alpha, folder_ / "q80.jpeg", "", 80));
  EXPECT_EQ(ReadBytes(folder_ / "q0.jpg"), reference(95));
  EXPECT_EQ(ReadBytes(folder_ / "qneg.jpeg"), reference(95));
  EXPECT_EQ(ReadBytes(folder_ / "q80.jpeg"), reference(80));
  EXPECT_NE(reference(80), reference(95));
}

TEST_F(ImageFilesTest, AlphaIsKeptForPngAndTiffAndDroppedForJpeg) {
  ImageRecord colour;
  ImageRecord alpha;
  ASSERT_TRUE(LoadImage(TestData("tulips_rgba.png"), colour, alpha));
  for (const auto& [name, bpp] : {std::pair{"out.png", 32u}, {"out.tif", 32u}, {"out.jpg", 24u}}) {
    ASSERT_TRUE(SaveImage(colour, alpha, folder_ / name, "", 95));
    BitmapHandle back = LoadBack(folder_ / name);
    ASSERT_TRUE(back) << name;
    EXPECT_EQ(FreeImage_GetBPP(back.get()), bpp) << name;
  }
  ImageRecord colour_back;
  ImageRecord alpha_back;
  ASSERT_TRUE(LoadImage(folder_ / "out.png", colour_back, alpha_back));
  EXPECT_EQ(std::memcmp(alpha_back.data(), alpha.data(), static_cast<std::size_t>(alpha.size())),
            0);
  EXPECT_EQ(std::memcmp(colour_back.data(), colour.data(), static_cast<std::size_t>(colour.size())),
            0);
}

TEST_F(ImageFilesTest, SixteenBitPicturesRoundTripThroughPngAndTiff) {
  ImageRecord colour;
  ASSERT_EQ(colour.Allocate(3, 2, 3, 16), kResultOk);
  for (int i = 0; i < 18; ++i)
    reinterpret_cast<std::uint16_t*>(colour.data())[i] = static_cast<std::uint16_t>(3000 * i + 7);
  ImageRecord no_alpha;
  for (const char* name : {"deep.png", "deep.tif"}) {
    ASSERT_TRUE(SaveImage(colour, no_alpha, folder_ / name, "", 95));
    ImageRecord back;
    ImageRecord back_alpha;
    ASSERT_TRUE(LoadImage(folder_ / name, back, back_alpha)) << name;
    ASSERT_EQ(back.bits(), 16);
    EXPECT_EQ(std::memcmp(back.data(), colour.data(), 36), 0) << name;
  }
}

TEST_F(ImageFilesTest, UnwritableFormatsRaiseAndWriteNothing) {
  ImageRecord colour = ColourRecord(8, 8);
  ImageRecord no_alpha;
  EXPECT_THROW(SaveImage(colour, no_alpha, folder_ / "out.gif", "", 95), UnsupportedImageFormat);
  EXPECT_THROW(SaveImage(colour, no_alpha, folder_ / "out.xyz", "", 95), UnsupportedImageFormat);
  EXPECT_THROW(SaveImage(colour, no_alpha, folder_ / "noextension", "", 95),
               UnsupportedImageFormat);
  EXPECT_TRUE(std::filesystem::is_empty(folder_.path()));
  EXPECT_FALSE(SaveImage(ImageRecord(), no_alpha, folder_ / "empty.png", "", 95));
  EXPECT_TRUE(std::filesystem::is_empty(folder_.path()));
}

// A picture given up to the writer is encoded from its own rows where the
// library can read them there; the file must not tell which way it went.
// Rows of 12 pixels are padded as the library pads its own, rows of 13 are
// not; an odd height leaves a middle row in place.
TEST_F(ImageFilesTest, APictureGivenUpIsWrittenByteForByteAsAKeptOne) {
  struct Case {
    const char* name;
    std::int32_t width, channels, bits;
    bool alpha;
  };
  for (const Case& c : {Case{"a.jpg", 12, 3, 8, false},
                        {"b.jpg", 13, 3, 8, false},
                        {"b.jpeg", 13, 3, 8, false},
                        {"a.png", 12, 3, 8, false},
                        {"b.png", 13, 3, 8, false},
                        {"b.tif", 13, 3, 8, false},
                        {"a.bmp", 12, 3, 8, false},
                        {"b.bmp", 13, 3, 8, false},
                        {"alpha.tif", 12, 3, 8, true},
                        {"deep.tif", 12, 3, 16, false},
                        {"grey.png", 12, 1, 8, false}}) {
    ImageRecord kept, given, alpha;
    ASSERT_EQ(kept.Allocate(c.width, 7, c.channels, c.bits), kResultOk);
    for (std::int32_t i = 0; i < kept.size(); ++i)
      kept.data()[i] = static_cast<std::uint8_t>(i * 7);
    ASSERT_EQ(given.Allocate(c.width, 7, c.channels, c.bits), kResultOk);
    std::memcpy(given.data(), kept.data(), static_cast<std::size_t>(kept.size()));
    if (c.alpha) {
      alpha = ColourRecord(c.width, 7);
      ASSERT_TRUE(ConvertTo8BitChannels(alpha, 1));
    }
    const std::string name = c.name;
    const std::filesystem::path source = TestData("kodim13_exif_icc.jpg");
    ASSERT_TRUE(SaveImage(kept, alpha, folder_ / ("kept-" + name), source, 90)) << name;
    ASSERT_TRUE(SaveImage(std::move(given), alpha, folder_ / name, source, 90)) << name;
    EXPECT_FALSE(given.HasData()) << name;
    EXPECT_TRUE(ReadBytes(folder_ / name) == ReadBytes(folder_ / ("kept-" + name))) << name;
  }
  // A refused format still takes the picture, and writes nothing.
  ImageRecord given = ColourRecord(13, 7);
  EXPECT_THROW(SaveImage(std::move(given), ImageRecord(), folder_ / "out.gif", "", 95),
               UnsupportedImageFormat);
  EXPECT_FALSE(given.HasData());
  EXPECT_FALSE(std::filesystem::exists(folder_ / "out.gif"));
}

// exiftool, the independent reader, is a Linux program.
#ifndef _WIN32
TEST_F(ImageFilesTest, ExifAndProfileOfTheSourceReachEveryOutput) {
  const std::filesystem::path source = TestData("kodim13_exif_icc.jpg");
  ImageRecord colour;
  ImageRecord alpha;
  ASSERT_TRUE(LoadImage(source, colour, alpha));
  BitmapHandle original = LoadBack(source);
  const FIICCPROFILE* original_profile = FreeImage_GetICCProfile(original.get());
  ASSERT_GT(original_profile->size, 0);

  ::testing::internal::CaptureStderr();
  for (const char* name : {"signed.jpg", "signed.png", "signed.tif"}) {
    ASSERT_TRUE(SaveImage(colour, alpha, folder_ / name, source, 90)) << name;
  }
  const std::string errors = ::testing::internal::GetCapturedStderr();
  EXPECT_EQ(errors, "") << "codec messages must not reach standard error";

  // FreeImage does not read PNG profiles back, so exiftool is the judge.
  const std::string expected(reinterpret_cast<const char*>(original_profile->data),
                             original_profile->size);
  for (const char* name : {"signed.jpg", "signed.png", "signed.tif"}) {
    EXPECT_EQ(ExiftoolProfile(folder_ / name), expected) << name;
  }
  BitmapHandle jpeg = LoadBack(folder_ / "signed.jpg");
  EXPECT_EQ(ExifValue(jpeg.get(), FIMD_EXIF_MAIN, "Make"), "Kodak");
  EXPECT_EQ(ExifValue(jpeg.get(), FIMD_EXIF_MAIN, "Model"), "DCS Test Camera");
  EXPECT_EQ(ExifValue(jpeg.get(), FIMD_EXIF_EXIF, "ExposureTime"), "1/250 sec");
}
#endif

TEST_F(ImageFilesTest, AnUnreadableMetadataSourceRaisesAndWritesNothing) {
  ImageRecord colour = ColourRecord(8, 8);
  ImageRecord no_alpha;
  WriteBytes(folder_ / "notes.txt", "plain text\n");
  try {
    SaveImage(colour, no_alpha, folder_ / "out.png", folder_ / "notes.txt", 95);
    FAIL() << "expected UnsupportedImageFormat";
  } catch (const UnsupportedImageFormat& error) {
    EXPECT_EQ(std::string(error.what()), (folder_ / "notes.txt").string());
  }
  EXPECT_THROW(SaveImage(colour, no_alpha, folder_ / "out.png", folder_ / "gone.jpg", 95),
               ImageReadError);
  EXPECT_FALSE(std::filesystem::exists(folder_ / "out.png"));
}

}  // namespace
}  // namespace pmk::testing
