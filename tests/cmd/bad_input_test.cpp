// PMKCmd fed what a folder from anywhere may hold: empty, cut and damaged
// pictures, forged headers, odd names and odd option values. Each run must end
// with one orderly message and exit code, and write nothing it should not.
#include <FreeImage.h>
#include <gtest/gtest.h>
#ifndef _WIN32
#include <unistd.h>
#endif

#include <array>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "platform/utf8_path.h"
#include "support/pmk_cmd_program.h"
#include "support/run_process.h"
#include "support/temp_folder.h"

namespace pmk::testing {
namespace {

constexpr const char* kUnsupported = "Image Format is not supported!\n\n";
constexpr const char* kSuccess = "Success!\n\n";
constexpr const char* kNotPreserved = "Signature not preserved!\n\n";

std::string Joined(const std::vector<std::string>& arguments) {
  std::string text;
  for (const std::string& a : arguments)
    text += (a.size() > 40 ? a.substr(0, 40) + "..." : a) + " ";
  return text;
}

// The photograph reduced to `width` x `height` in `format`.
void WriteSmallPhotograph(const std::filesystem::path& file, FREE_IMAGE_FORMAT format, int width,
                          int height, int flags = 0) {
  FIBITMAP* full = FreeImage_Load(FIF_PNG, TestData("kodim23.png").string().c_str(), 0);
  ASSERT_NE(full, nullptr);
  FIBITMAP* small = FreeImage_Rescale(full, width, height, FILTER_BOX);
#ifdef _WIN32
  ASSERT_TRUE(FreeImage_SaveU(format, small, file.c_str(), flags));
#else
  ASSERT_TRUE(FreeImage_Save(format, small, file.c_str(), flags));
#endif
  FreeImage_Unload(small);
  FreeImage_Unload(full);
}

void AppendBigEndian(std::string& bytes, std::uint32_t value) {
  for (int shift = 24; shift >= 0; shift -= 8) bytes.push_back(static_cast<char>(value >> shift));
}

std::uint32_t Crc32(const std::string& bytes) {
  std::uint32_t crc = 0xFFFFFFFFu;
  for (const char c : bytes) {
    crc ^= static_cast<std::uint8_t>(c);
    for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
  }
  return crc ^ 0xFFFFFFFFu;
}

void AppendChunk(std::string& png, const std::string& type, const std::string& data) {
  AppendBigEndian(png, static_cast<std::uint32_t>(data.size()));
  png += type + data;
  AppendBigEndian(png, Crc32(type + data));
}

// A well-formed PNG whose header claims `width` x `height` colour pixels and
// whose one data chunk holds next to nothing.
std::string ForgedPng(std::uint32_t width, std::uint32_t height) {
  std::string png = "\x89PNG\r\n\x1a\n";
  std::string header;
  AppendBigEndian(header, width);
  AppendBigEndian(header, height);
  header += std::string("\x08\x02\x00\x00\x00", 5);  // 8 bits, RGB, deflate, no interlace
  AppendChunk(png, "IHDR", header);
  AppendChunk(png, "IDAT", std::string("\x78\x9c\x03\x00\x00\x00\x00\x01", 8));
  AppendChunk(png, "IEND", "");
  return png;
}

class BadInputTest : public ::testing::Test {
 protected:
  // One signed picture for the suite; signing is the slow part.
  static const std::string& SignedPicture() {
    if (shared_ == nullptr) {
      shared_ = std::make_unique<TempFolder>();
      signed_ = (*shared_ / "signed.png").string();
      WriteSmallPhotograph(*shared_ / "photo.png", FIF_PNG, 384, 256);
      const ProcessResult result = RunProcess(
          kPmkCmdProgram, {"-i", (*shared_ / "photo.png").string(), "-o", signed_, "-s", "abcdef"},
          shared_->path());
      EXPECT_EQ(result.out, kSuccess) << result.err;
    }
    return signed_;
  }
  static void TearDownTestSuite() { shared_.reset(); }

  ProcessResult Run(const std::vector<std::string>& arguments) {
    return RunProcess(kPmkCmdProgram, arguments, folder_.path());
  }
  std::string At(const std::string& name) const {
    return platform::Utf8FromPath(folder_ / platform::PathFromUtf8(name));
  }

  // A refused input: the message, exit code 1, no output file.
  void ExpectRefusedInput(const std::string& input) {
    const ProcessResult result = Run({"-i", input, "-o", At("out.png"), "-s", "abcdef"});
    EXPECT_EQ(result.exit_code, 1) << input;
    EXPECT_EQ(result.out, kUnsupported) << input;
    EXPECT_FALSE(std::filesystem::exists(folder_ / "out.png")) << input;
  }

  TempFolder folder_;
  static std::unique_ptr<TempFolder> shared_;
  static std::string signed_;
};

std::unique_ptr<TempFolder> BadInputTest::shared_;
std::string BadInputTest::signed_;

TEST_F(BadInputTest, ZeroByteFilesAreNotSupported) {
  for (const char* name : {"empty.jpg", "empty.png", "empty.tif", "empty.bmp", "empty"}) {
    WriteBytes(folder_ / name, "");
    ExpectRefusedInput(At(name));
  }
}

TEST_F(BadInputTest, TruncatedPicturesAreNotSupported) {
  const std::array<std::pair<const char*, FREE_IMAGE_FORMAT>, 3> formats = {
      {{"cut.jpg", FIF_JPEG}, {"cut.png", FIF_PNG}, {"cut.tif", FIF_TIFF}}};
  for (const auto& [name, format] : formats) {
    const std::filesystem::path file = folder_ / name;
    WriteSmallPhotograph(file, format, 96, 64);
    const std::string whole = ReadBytes(file);
    // Cut in the header, in the middle of the pixels, and just before the end.
    for (const std::size_t keep : {std::size_t{20}, whole.size() / 2, whole.size() - 8}) {
      WriteBytes(file, whole.substr(0, keep));
      ExpectRefusedInput(file.string());
    }
  }
}

// A damaged file either fails to load, or loads as some picture and is
// signed like any other; never anything in between.
TEST_F(BadInputTest, BitFlippedPicturesEndInAnOrderlyWay) {
  const std::array<std::pair<const char*, FREE_IMAGE_FORMAT>, 3> formats = {
      {{"flip.jpg", FIF_JPEG}, {"flip.png", FIF_PNG}, {"flip.tif", FIF_TIFF}}};
  for (const auto& [name, format] : formats) {
    const std::filesystem::path file = folder_ / name;
    WriteSmallPhotograph(file, format, 96, 64);
    const std::string whole = ReadBytes(file);
    for (int part = 0; part < 12; ++part) {
      std::string damaged = whole;
      // Headers are where damage does the most: flip densely there, then
      // sparsely through the rest.
      const std::size_t at = part < 6 ? static_cast<std::size_t>(part * 7 + 3)
                                      : whole.size() * static_cast<std::size_t>(part) / 12;
      for (std::size_t i = at; i < at + 3 && i < damaged.size(); ++i) damaged[i] ^= 0x5A;
      WriteBytes(file, damaged);
      const ProcessResult result = Run({"-i", file.string(), "-o", At("out.png"), "-s", "abcdef"});
      const bool written = std::filesystem::exists(folder_ / "out.png");
      SCOPED_TRACE(std::string(name) + " damaged at " + std::to_string(at));
      if (result.out == kUnsupported) {
        EXPECT_EQ(result.exit_code, 1);
        EXPECT_FALSE(written);
      } else {
        EXPECT_EQ(result.exit_code, 0) << result.out << result.err;
        EXPECT_TRUE(result.out == kSuccess || result.out == kNotPreserved ||
                    result.out.rfind("Signature detected:", 0) == 0)
            << result.out;
        EXPECT_EQ(written, result.out == kSuccess || result.out == kNotPreserved);
      }
      std::filesystem::remove(folder_ / "out.png");
    }
  }
}

TEST_F(BadInputTest, AForgedHugePngHeaderIsRefusedBeforeItsPixels) {
  WriteBytes(folder_ / "huge.png", ForgedPng(100000, 100000));
  ExpectRefusedInput(At("huge.png"));
  // The same forgery at a size the reader accepts gets as far as decoding,
  // which then fails on the missing pixels: the forgery itself is well formed.
  WriteBytes(folder_ / "small.png", ForgedPng(64, 64));
  ExpectRefusedInput(At("small.png"));
}

TEST_F(BadInputTest, AFileWithoutReadPermissionIsNotSupported) {
#ifdef _WIN32
  GTEST_SKIP() << "permissions here only make a file read-only";
#else
  if (::geteuid() == 0) {
    GTEST_SKIP() << "running as root: file permissions do not stop root from reading";
  }
#endif
  WriteSmallPhotograph(folder_ / "secret.png", FIF_PNG, 96, 64);
  std::filesystem::permissions(folder_ / "secret.png", std::filesystem::perms::none);
  ExpectRefusedInput(At("secret.png"));
}

TEST_F(BadInputTest, NamesWithBlanksAndNonAsciiCharactersWork) {
  const std::filesystem::path input = folder_ / "my photo ü 写真.png";
  WriteSmallPhotograph(input, FIF_PNG, 384, 256);
  const std::string output = At("signed é 名前.jpg");
  const std::string log = At("run log ä.log");
  ProcessResult result = Run({"-l", log, "-i", platform::Utf8FromPath(input), "-o", output, "-s",
                              "abcdef", "-cores", "2"});
  EXPECT_EQ(result.exit_code, 0);
  EXPECT_EQ(ReadBytes(platform::PathFromUtf8(log)),
            platform::Utf8FromPath(input) + " -> " + output + ":" + kSuccess)
      << result.err;
  result = Run({"-i", output, "-cores", "2"});
  EXPECT_EQ(result.out, "Signature detected:abcdef\n");
}

TEST_F(BadInputTest, NamesAtTheLengthLimitAreUsed) {
  // 2047 characters are allowed: the run goes ahead and finds no such file.
  const std::string longest = "./" + std::string(2045, 'a');
  ProcessResult result = Run({"-i", longest});
  EXPECT_EQ(result.exit_code, 1);
  EXPECT_EQ(result.out, kUnsupported);
  EXPECT_EQ(result.err, "");
  // So is a name the reader knows the format of from its extension.
  result = Run({"-i", "./" + std::string(2041, 'a') + ".png"});
  EXPECT_EQ(result.exit_code, 1);
  EXPECT_EQ(result.out, kUnsupported);

  // An output name of 2047 characters is taken too; no file system keeps a
  // name that long, so the write fails and says why.
  WriteSmallPhotograph(folder_ / "photo.png", FIF_PNG, 96, 64);
  result =
      Run({"-i", At("photo.png"), "-o", "./" + std::string(2041, 'b') + ".png", "-s", "abcdef"});
  EXPECT_EQ(result.exit_code, 0);
  EXPECT_EQ(result.out, kNotPreserved);
  EXPECT_NE(result.err, "");

  // A bare name that, joined to the program's folder, makes exactly 1023
  // characters is allowed; one more is refused.
  const std::string folder =
      std::filesystem::canonical(kPmkCmdProgram).parent_path().string() + "/";
  ASSERT_LT(folder.size(), 1000u);
  const std::string bare(1023 - folder.size(), 'c');
  result = Run({"-i", bare});
  EXPECT_EQ(result.exit_code, 1);
  EXPECT_EQ(result.out, kUnsupported);
  EXPECT_EQ(result.err.rfind("PMKCmd: " + bare + " was looked for in the program's folder", 0), 0u);
  result = Run({"-i", bare + "c"});
  EXPECT_EQ(result.exit_code, 1);
  EXPECT_EQ(result.out, "");
  EXPECT_NE(result.err, "");
}

TEST_F(BadInputTest, NamesJustAboveTheLengthLimitAreRefused) {
  const std::string too_long = "./" + std::string(2046, 'a');
  for (const std::vector<std::string>& arguments :
       {std::vector<std::string>{"-i", "./in.png", "-o", too_long, "-s", "abcdef"},
        {"-i", "./in.png", "-l", too_long}}) {
    const ProcessResult result = Run(arguments);
    EXPECT_EQ(result.exit_code, 1) << Joined(arguments);
    EXPECT_EQ(result.out, "") << Joined(arguments);
    EXPECT_NE(result.err, "") << Joined(arguments);
  }
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder_.path()),
                          std::filesystem::directory_iterator()),
            0);
}

TEST_F(BadInputTest, CoreCountsOutOfRangeStillSearch) {
  // 0 searches on one thread, 255 on the most threads the search uses.
  for (const char* cores : {"0", "255", "-1", "abc"}) {
    const ProcessResult result = Run({"-i", SignedPicture(), "-cores", cores});
    EXPECT_EQ(result.exit_code, 0) << cores;
    EXPECT_EQ(result.out, "Signature detected:abcdef\n") << cores;
  }
}

TEST_F(BadInputTest, OddJpegQualitiesStillWriteAPicture) {
  WriteSmallPhotograph(folder_ / "photo.png", FIF_PNG, 384, 256);
  for (const char* quality : {"-5", "1000", "abc"}) {
    const std::string output = At(std::string("q") + quality + ".jpg");
    const ProcessResult result =
        Run({"-i", At("photo.png"), "-o", output, "-s", "abcdef", "-c", quality});
    EXPECT_EQ(result.exit_code, 0) << quality;
    EXPECT_TRUE(result.out == kSuccess || result.out == kNotPreserved) << quality << result.out;
    FIBITMAP* back = FreeImage_Load(FIF_JPEG, output.c_str(), 0);
    EXPECT_NE(back, nullptr) << quality;
    if (back != nullptr) FreeImage_Unload(back);
  }
}

TEST_F(BadInputTest, ALongSignatureIsCutToTenCharacters) {
  WriteSmallPhotograph(folder_ / "photo.png", FIF_PNG, 384, 256);
  const std::string signature = "Longest-ok" + std::string(189, 'x');  // 199 bytes
  ProcessResult result = Run({"-i", At("photo.png"), "-o", At("out.png"), "-s", signature});
  EXPECT_EQ(result.out, kSuccess) << result.err;
  result = Run({"-i", At("out.png")});
  EXPECT_EQ(result.out, "Signature detected:Longest-ok\n");
}

TEST_F(BadInputTest, NonAsciiSignatureBytesReadBackAsDashes) {
  WriteSmallPhotograph(folder_ / "photo.png", FIF_PNG, 384, 256);
  // Ten bytes: a, b, three of the euro sign, c, d, two of e-acute, f.
  ProcessResult result =
      Run({"-i", At("photo.png"), "-o", At("out.png"), "-s", "ab\u20accd\u00e9f"});
  EXPECT_EQ(result.out, kSuccess) << result.err;
  result = Run({"-i", At("out.png")});
  EXPECT_EQ(result.out, "Signature detected:ab---cd--f\n");
}

}  // namespace
}  // namespace pmk::testing
