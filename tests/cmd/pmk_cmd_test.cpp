// PMKCmd seen from outside: its options, messages, log lines, exit codes and
// the files it writes.
#include <FreeImage.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "cmd/usage_text.h"
#include "platform/utf8_path.h"
#include "support/pmk_cmd_program.h"
#include "support/run_process.h"
#include "support/temp_folder.h"

namespace pmk::testing {
namespace {

const std::string kUsage(cmd::kUsageText);

class PmkCmdTest : public ::testing::Test {
 protected:
  // One signed picture for the whole suite, made when a test first needs it:
  // signing is the slow part, and CTest runs every test in its own process.
  static const std::string& SignedPng() {
    if (shared_ == nullptr) {
      shared_ = std::make_unique<TempFolder>();
      signed_png_ = (*shared_ / "signed.png").string();
      const ProcessResult result = RunProcess(kPmkCmdProgram,
                                              {"-i", TestData("kodim23.png").string(), "-o",
                                               signed_png_, "-s", "abcdef", "-cores", "2"},
                                              shared_->path());
      EXPECT_EQ(result.out, "Success!\n\n") << result.err;
    }
    return signed_png_;
  }
  static void TearDownTestSuite() { shared_.reset(); }

  ProcessResult Run(const std::vector<std::string>& arguments) {
    return RunProcess(kPmkCmdProgram, arguments, folder_.path());
  }
  std::string At(const std::string& name) const { return (folder_ / name).string(); }

  static BITMAPINFOHEADER* Header(FIBITMAP* bitmap) { return FreeImage_GetInfoHeader(bitmap); }

  TempFolder folder_;
  static std::unique_ptr<TempFolder> shared_;
  static std::string signed_png_;
};

std::unique_ptr<TempFolder> PmkCmdTest::shared_;
std::string PmkCmdTest::signed_png_;

TEST_F(PmkCmdTest, DashHAloneOrFirstPrintsTheUsage) {
  ProcessResult result = Run({"-h"});
  EXPECT_EQ(result.exit_code, 0);
  EXPECT_EQ(result.out, kUsage);
  result = Run({"-h", "-i", "whatever.jpg"});
  EXPECT_EQ(result.exit_code, 0);
  EXPECT_EQ(result.out, kUsage);
}

TEST_F(PmkCmdTest, DashHElsewhereIsIgnored) {
  const ProcessResult result = Run({"-i", "./missing.jpg", "-h"});
  EXPECT_EQ(result.exit_code, 1);
  EXPECT_EQ(result.out, "Image Format is not supported!\n\n");
}

TEST_F(PmkCmdTest, IncompleteCommandLinesPrintTheUsageWithCode11) {
  for (const std::vector<std::string>& arguments : {std::vector<std::string>{},
                                                    {"-o", "out.jpg", "-s", "abcdef"},
                                                    {"-o", "b.jpg", "-i"},
                                                    {"-o", "out.jpg", "-i", "in.jpg"}}) {
    const ProcessResult result = Run(arguments);
    EXPECT_EQ(result.exit_code, 11);
    EXPECT_EQ(result.out, kUsage);
  }
  const ProcessResult verbose = Run({"-v", "-s", "abcdef"});
  EXPECT_EQ(verbose.exit_code, 11);
  EXPECT_EQ(verbose.out, "No Input file!\n\n" + kUsage);
}

TEST_F(PmkCmdTest, WithALogOnlyTheUsageReachesStandardOutput) {
  const ProcessResult result = Run({"-v", "-l", "run.log", "-o", "b.jpg"});
  EXPECT_EQ(result.exit_code, 11);
  EXPECT_EQ(result.out, kUsage);
  EXPECT_EQ(ReadBytes(folder_ / "run.log"), " -> b.jpg:No Input file!\n\n");
}

TEST_F(PmkCmdTest, LogLinesNameTheFilesAsTyped) {
  const std::filesystem::path input = folder_ / "a.png";
  std::filesystem::copy_file(TestData("kodim13.png"), input);
  ProcessResult result = Run({"-l", "run.log", "-i", "./a.png", "-cores", "2"});
  EXPECT_EQ(result.exit_code, 0);
  EXPECT_EQ(result.out, "");
  result = Run({"-l", "run.log", "-i", "./missing.jpg", "-o", "./b.jpg", "-s", "abcdef"});
  EXPECT_EQ(result.exit_code, 1);
  EXPECT_EQ(result.out, "");
  EXPECT_EQ(ReadBytes(folder_ / "run.log"),
            "./a.png:No signature detected!\n"
            "./missing.jpg -> ./b.jpg:Image Format is not supported!\n\n");
}

TEST_F(PmkCmdTest, AnUnopenableLogFallsBackToStandardOutput) {
  const ProcessResult result = Run({"-l", At("no/such/folder/run.log"), "-i", "./missing.png"});
  EXPECT_EQ(result.exit_code, 1);
  EXPECT_EQ(result.out, "./missing.png:Image Format is not supported!\n\n");
  EXPECT_NE(result.err.find("log file"), std::string::npos);
}

TEST_F(PmkCmdTest, DashIFollowedByDashOTakesItAsTheInputName) {
  const ProcessResult result = Run({"-l", "run.log", "-i", "-o"});
  EXPECT_EQ(result.exit_code, 1);
  EXPECT_EQ(ReadBytes(folder_ / "run.log"), "-o:Image Format is not supported!\n\n");
}

TEST_F(PmkCmdTest, BareNamesAreLookedUpBesideTheProgram) {
  // A copy of the program with a photograph beside it, run from elsewhere.
  const std::filesystem::path program_folder = folder_ / "program";
  const std::filesystem::path elsewhere = folder_ / "elsewhere";
  std::filesystem::create_directories(program_folder);
  std::filesystem::create_directories(elsewhere);
  std::filesystem::copy_file(kPmkCmdProgram, program_folder / "PMKCmd");
  std::filesystem::copy_file(SignedPng(), program_folder / "photo.png");
  std::filesystem::copy_file(TestData("kodim13.png"), elsewhere / "photo.png");

  ProcessResult result = RunProcess(program_folder / "PMKCmd", {"-i", "photo.png"}, elsewhere);
  EXPECT_EQ(result.out, "Signature detected:abcdef\n");
  result = RunProcess(program_folder / "PMKCmd", {"-i", "./photo.png"}, elsewhere);
  EXPECT_EQ(result.out, "No signature detected!\n");
}

// A newcomer's first runs: a scratch folder holding photo.jpg, the program
// in a folder of its own, as when installed.
TEST_F(PmkCmdTest, BareNamesAreExplainedOnStandardError) {
  const std::filesystem::path bin = folder_ / "bin";
  const std::filesystem::path scratch = folder_ / "scratch";
  std::filesystem::create_directories(bin);
  std::filesystem::create_directories(scratch);
  std::filesystem::copy_file(kPmkCmdProgram, bin / "PMKCmd");
  std::filesystem::copy_file(TestData("kodim01_crop.jpg"), scratch / "photo.jpg");
  const auto line = [&](const std::string& name, const std::string& what) {
    return "PMKCmd: " + name + " was " + what + " the program's folder (" +
           std::filesystem::canonical(bin).string() + "), as bare names are; write ./" + name +
           " for the current folder\n";
  };
  const struct {
    std::vector<std::string> arguments;
    int exit_code;
    std::string out, err;
  } cases[] = {
      {{"-i", "photo.jpg"},
       1,
       "Image Format is not supported!\n\n",
       line("photo.jpg", "looked for in")},
      {{"-l", "run.log", "-i", "photo.jpg"}, 1, "", line("photo.jpg", "looked for in")},
      {{"-i", "./photo.jpg", "-cores", "2"}, 0, "No signature detected!\n", ""},
      {{"-i", "./photo.jpg", "-o", "signed.png", "-s", "abcdef", "-cores", "2"},
       0,
       "Success!\n\n",
       line("signed.png", "written to")},
  };
  for (const auto& c : cases) {
    const ProcessResult result = RunProcess(bin / "PMKCmd", c.arguments, scratch);
    EXPECT_EQ(result.exit_code, c.exit_code) << c.arguments[1];
    EXPECT_EQ(result.out, c.out) << c.arguments[1];
    EXPECT_EQ(result.err, c.err) << c.arguments[1];
  }
  EXPECT_EQ(ReadBytes(scratch / "run.log"), "photo.jpg:Image Format is not supported!\n\n");
  EXPECT_TRUE(std::filesystem::exists(bin / "signed.png"));
  EXPECT_FALSE(std::filesystem::exists(scratch / "signed.png"));
}

TEST_F(PmkCmdTest, UnreadableInputsAreNotSupported) {
  WriteBytes(folder_ / "corrupt.jpg", "not a picture at all");
  std::filesystem::create_directory(folder_ / "folder.png");
  for (const std::string& input : {At("missing.jpg"), At("corrupt.jpg"), At("folder.png"),
                                   TestData("tulips_rgba.png").string() + ".gif"}) {
    const ProcessResult result = Run({"-i", input, "-o", At("out.png"), "-s", "abcdef"});
    EXPECT_EQ(result.exit_code, 1) << input;
    EXPECT_EQ(result.out, "Image Format is not supported!\n\n") << input;
  }
  EXPECT_FALSE(std::filesystem::exists(folder_ / "out.png"));
}

TEST_F(PmkCmdTest, PalettePicturesAreNotSupported) {
  if (!FreeImage_FIFSupportsWriting(FIF_GIF)) GTEST_SKIP() << "FreeImage here writes no GIF";
  FIBITMAP* palette = FreeImage_Allocate(32, 32, 8);
  RGBQUAD* entries = FreeImage_GetPalette(palette);
  for (int i = 0; i < 256; ++i) entries[i] = RGBQUAD{static_cast<BYTE>(i), 0, 0, 0};
  ASSERT_TRUE(FreeImage_Save(FIF_GIF, palette, At("palette.gif").c_str(), 0));
  FreeImage_Unload(palette);
  const ProcessResult result = Run({"-i", At("palette.gif")});
  EXPECT_EQ(result.exit_code, 1);
  EXPECT_EQ(result.out, "Image Format is not supported!\n\n");
}

TEST_F(PmkCmdTest, CheckingReportsTheSignatureOrItsAbsence) {
  ProcessResult result = Run({"-i", SignedPng()});
  EXPECT_EQ(result.exit_code, 0);
  EXPECT_EQ(result.out, "Signature detected:abcdef\n");
  result = Run({"-i", TestData("kodim13.png").string(), "-cores", "2"});
  EXPECT_EQ(result.exit_code, 0);
  EXPECT_EQ(result.out, "No signature detected!\n");
  // "-s" without "-o" only checks.
  result = Run({"-s", "zzzzzz", "-i", TestData("kodim13.png").string(), "-cores", "2"});
  EXPECT_EQ(result.out, "No signature detected!\n");
}

TEST_F(PmkCmdTest, SigningASignedPictureWritesNothing) {
  const ProcessResult result = Run({"-i", SignedPng(), "-o", At("again.png"), "-s", "zzzzzz"});
  EXPECT_EQ(result.exit_code, 0);
  EXPECT_EQ(result.out, "Signature detected:abcdef\n");
  EXPECT_FALSE(std::filesystem::exists(folder_ / "again.png"));
}

TEST_F(PmkCmdTest, SignsToJpegWithTheInputsMetadata) {
  ProcessResult result = Run({"-i", TestData("kodim13_exif_icc.jpg").string(), "-o", At("s.jpg"),
                              "-s", "ABC-123xyz", "-cores", "2"});
  EXPECT_EQ(result.exit_code, 0);
  EXPECT_EQ(result.out, "Success!\n\n");
  EXPECT_EQ(result.err, "");
  result = Run({"-i", At("s.jpg"), "-cores", "2"});
  EXPECT_EQ(result.out, "Signature detected:ABC-123xyz\n");

  FIBITMAP* jpeg = FreeImage_Load(FIF_JPEG, At("s.jpg").c_str(), FIF_LOAD_NOPIXELS);
  ASSERT_NE(jpeg, nullptr);
  FITAG* make = nullptr;
  ASSERT_TRUE(FreeImage_GetMetadata(FIMD_EXIF_MAIN, jpeg, "Make", &make));
  EXPECT_STREQ(FreeImage_TagToString(FIMD_EXIF_MAIN, make), "Kodak");
  EXPECT_EQ(FreeImage_GetICCProfile(jpeg)->size, 560);
  FreeImage_Unload(jpeg);
}

// The names reach the file system, the log and the messages unchanged, on
// Windows too, where the ANSI code page holds none of these characters.
TEST_F(PmkCmdTest, UnicodeNamesSignCheckAndLog) {
  using platform::PathFromUtf8;
  std::filesystem::copy_file(TestData("kodim23.png"), folder_ / PathFromUtf8("Ørsted – 北京.png"));
  ProcessResult result = Run({"-l", "./日志.log", "-i", "./Ørsted – 北京.png", "-o",
                              "./Ørsted – 北京.jpg", "-s", "abcdef", "-cores", "2"});
  EXPECT_EQ(result.exit_code, 0) << result.err;
  EXPECT_EQ(ReadBytes(folder_ / PathFromUtf8("日志.log")),
            "./Ørsted – 北京.png -> ./Ørsted – 北京.jpg:Success!\n\n");
  result = Run({"-i", "./Ørsted – 北京.jpg", "-cores", "2"});
  EXPECT_EQ(result.out, "Signature detected:abcdef\n");
}

// Its signing marks the whole picture, while detection pairs its corners: the
// read-back check still finds the signature, and so does a later check.
TEST_F(PmkCmdTest, WholePictureSignatureReadsBackWhereDetectionPairsCorners) {
  ProcessResult result = Run({"-i", TestData("kodim01_crop.jpg").string(), "-o", At("leaf.png"),
                              "-s", "Leaf-26", "-cores", "2"});
  EXPECT_EQ(result.exit_code, 0);
  EXPECT_EQ(result.out, "Success!\n\n");
  result = Run({"-i", At("leaf.png"), "-cores", "2"});
  EXPECT_EQ(result.out, "Signature detected:Leaf-26\n");
}

// 10,000 x 10,001 grey pixels, one row above what a signing accepts; the
// file is small, the picture is not.
TEST_F(PmkCmdTest, PicturesAboveTheSigningLimitAreRefusedBeforeTheSearch) {
  FIBITMAP* grey = FreeImage_Allocate(10000, 10001, 8);
  ASSERT_NE(grey, nullptr);
  const bool written = FreeImage_Save(FIF_PNG, grey, At("huge.png").c_str(), PNG_Z_BEST_SPEED);
  FreeImage_Unload(grey);
  ASSERT_TRUE(written);

  const ProcessResult result =
      Run({"-i", At("huge.png"), "-o", At("signed.png"), "-s", "Big-2026", "-cores", "2"});
  EXPECT_EQ(result.exit_code, 1);
  EXPECT_EQ(result.out, "Cannot sign current picture!\n\n");
  EXPECT_NE(result.err.find("100010000 pixels"), std::string::npos) << result.err;
  EXPECT_NE(result.err.find("at most 100000000"), std::string::npos) << result.err;
  EXPECT_FALSE(std::filesystem::exists(folder_ / "signed.png"));
}

TEST_F(PmkCmdTest, LowJpegQualityIsUsedAndReportedEitherWay) {
  const ProcessResult result = Run({"-c", "50", "-i", TestData("kodim23.png").string(), "-o",
                                    At("q50.jpg"), "-s", "abcdef", "-cores", "2"});
  EXPECT_EQ(result.exit_code, 0);
  EXPECT_TRUE(result.out == "Success!\n\n" || result.out == "Signature not preserved!\n\n")
      << result.out;
  // A quality-50 file is far smaller than the default quality-95 one.
  const ProcessResult default_quality = Run(
      {"-i", TestData("kodim23.png").string(), "-o", At("q95.jpg"), "-s", "abcdef", "-cores", "2"});
  EXPECT_EQ(default_quality.out, "Success!\n\n");
  EXPECT_LT(std::filesystem::file_size(folder_ / "q50.jpg") * 2,
            std::filesystem::file_size(folder_ / "q95.jpg"));
}

TEST_F(PmkCmdTest, AlphaIsKeptInPngAndDroppedInJpeg) {
  for (const auto& [name, bpp] : {std::pair{"t.png", 32u}, {"t.jpg", 24u}}) {
    const ProcessResult result = Run({"-i", TestData("tulips_rgba.png").string(), "-o", At(name),
                                      "-s", "tulips", "-cores", "2"});
    EXPECT_EQ(result.exit_code, 0) << name;
    FIBITMAP* back =
        FreeImage_Load(FreeImage_GetFileType(At(name).c_str(), 0), At(name).c_str(), 0);
    ASSERT_NE(back, nullptr) << name << ": " << result.out;
    EXPECT_EQ(FreeImage_GetBPP(back), bpp) << name;
    FreeImage_Unload(back);
  }
}

TEST_F(PmkCmdTest, SixteenBitPicturesAreSignedAsEightBit) {
  // Widen a photograph to 48 bits per pixel.
  FIBITMAP* colour = FreeImage_Load(FIF_PNG, TestData("kodim23.png").string().c_str(), 0);
  FIBITMAP* deep = FreeImage_ConvertToRGB16(colour);
  ASSERT_TRUE(FreeImage_Save(FIF_PNG, deep, At("deep.png").c_str(), 0));
  FreeImage_Unload(deep);
  FreeImage_Unload(colour);
  const ProcessResult result =
      Run({"-i", At("deep.png"), "-o", At("out.png"), "-s", "abcdef", "-cores", "2"});
  EXPECT_EQ(result.out, "Success!\n\n");
  FIBITMAP* back = FreeImage_Load(FIF_PNG, At("out.png").c_str(), 0);
  ASSERT_NE(back, nullptr);
  EXPECT_EQ(FreeImage_GetBPP(back), 24u);
  FreeImage_Unload(back);
}

TEST_F(PmkCmdTest, OutputFormatsThatCannotBeWrittenEndWithCode1) {
  for (const char* name : {"out.gif", "out.xyz"}) {
    const ProcessResult result = Run(
        {"-i", TestData("kodim13.png").string(), "-o", At(name), "-s", "abcdef", "-cores", "2"});
    EXPECT_EQ(result.exit_code, 1) << name;
    EXPECT_EQ(result.out, "Output Format is not supported!\n\n") << name;
  }
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder_.path()),
                          std::filesystem::directory_iterator()),
            0);
}

TEST_F(PmkCmdTest, OverlongArgumentsAreRefusedNotCut) {
  for (const std::vector<std::string>& arguments :
       {std::vector<std::string>{"-i", "./" + std::string(2046, 'a')},
        {"-i", "./in.png", "-o", "./out.png", "-s", std::string(200, 's')},
        {"-i", std::string(1100, 'b')}}) {
    const ProcessResult result = Run(arguments);
    EXPECT_EQ(result.exit_code, 1);
    EXPECT_EQ(result.out, "");
    EXPECT_NE(result.err, "");
  }
}

}  // namespace
}  // namespace pmk::testing
