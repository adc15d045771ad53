// How PMKCmd writes the signed picture: whatever goes wrong while writing, the
// destination ends either complete or as it was, and "-o" may name the input.
#include <FreeImage.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "support/pmk_cmd_program.h"
#include "support/run_process.h"
#include "support/temp_folder.h"

namespace pmk::testing {
namespace {

constexpr const char* kNotPreserved = "Signature not preserved!\n\n";

// The names in a folder, hidden ones included (a temporary file left behind
// would be hidden).
std::vector<std::string> NamesIn(const std::filesystem::path& folder) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

class SafeOutputTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // Half the size of the photograph: still signable, twice as fast.
    FIBITMAP* full = FreeImage_Load(FIF_PNG, TestData("kodim23.png").c_str(), 0);
    ASSERT_NE(full, nullptr);
    FIBITMAP* half = FreeImage_Rescale(full, FreeImage_GetWidth(full) / 2,
                                       FreeImage_GetHeight(full) / 2, FILTER_BOX);
    ASSERT_TRUE(FreeImage_Save(FIF_PNG, half, (input_folder_ / "photo.png").c_str(), 0));
    FreeImage_Unload(half);
    FreeImage_Unload(full);
  }

  std::string Input() const { return (input_folder_ / "photo.png").string(); }
  std::string At(const std::string& name) const { return (folder_ / name).string(); }

  ProcessResult Run(const std::vector<std::string>& arguments) {
    return RunProcess(kPmkCmdProgram, arguments, folder_.path());
  }
  // Runs PMKCmd with a file-size limit of 4 KB (eight 512-byte blocks), far
  // below any signed picture, so the write is cut off part way.
  ProcessResult RunWithFileSizeLimit(const std::vector<std::string>& arguments) {
    std::vector<std::string> shell = {"-c", "ulimit -f 8; exec \"$0\" \"$@\"", kPmkCmdProgram.string()};
    shell.insert(shell.end(), arguments.begin(), arguments.end());
    return RunProcess("/bin/sh", shell, folder_.path());
  }

  TempFolder input_folder_;
  TempFolder folder_;
};

TEST_F(SafeOutputTest, AWriteCutOffLeavesNoTruncatedPicture) {
  for (const char* name : {"out.png", "out.jpg", "out.tif", "out.bmp"}) {
    const ProcessResult result =
        RunWithFileSizeLimit({"-i", Input(), "-o", At(name), "-s", "abcdef"});
    EXPECT_EQ(result.exit_code, 0) << name << ": " << result.err;
    EXPECT_EQ(result.out, kNotPreserved) << name;
    EXPECT_NE(result.err, "") << name;
    // Neither the destination nor a temporary file is left.
    EXPECT_EQ(NamesIn(folder_.path()), std::vector<std::string>{}) << name;
  }
}

TEST_F(SafeOutputTest, AWriteCutOffKeepsTheExistingFile) {
  for (const char* name : {"out.png", "out.jpg"}) {
    const std::string before = "an earlier picture of this name";
    WriteBytes(folder_ / name, before);
    const ProcessResult result =
        RunWithFileSizeLimit({"-i", Input(), "-o", At(name), "-s", "abcdef"});
    EXPECT_EQ(result.out, kNotPreserved) << name;
    EXPECT_EQ(ReadBytes(folder_ / name), before) << name;
    EXPECT_EQ(NamesIn(folder_.path()), std::vector<std::string>{name});
    std::filesystem::remove(folder_ / name);
  }
}

TEST_F(SafeOutputTest, ACompleteWriteReplacesTheExistingFile) {
  WriteBytes(folder_ / "out.png", "an earlier picture of this name");
  const ProcessResult result = Run({"-i", Input(), "-o", At("out.png"), "-s", "abcdef"});
  EXPECT_EQ(result.out, "Success!\n\n") << result.err;
  EXPECT_EQ(NamesIn(folder_.path()), std::vector<std::string>{"out.png"});
  EXPECT_EQ(Run({"-i", At("out.png")}).out, "Signature detected:abcdef\n");
}

TEST_F(SafeOutputTest, OutputNamingTheInputSignsItInPlaceWithItsMetadata) {
  const std::filesystem::path photo = folder_ / "photo.jpg";
  std::filesystem::copy_file(TestData("kodim13_exif_icc.jpg"), photo);
  const std::string original = ReadBytes(photo);

  ProcessResult result =
      Run({"-i", photo.string(), "-o", photo.string(), "-s", "inplace", "-cores", "2"});
  EXPECT_EQ(result.exit_code, 0);
  EXPECT_EQ(result.out, "Success!\n\n") << result.err;
  EXPECT_NE(ReadBytes(photo), original);
  EXPECT_EQ(NamesIn(folder_.path()), std::vector<std::string>{"photo.jpg"});
  result = Run({"-i", photo.string(), "-cores", "2"});
  EXPECT_EQ(result.out, "Signature detected:inplace\n");

  FIBITMAP* jpeg = FreeImage_Load(FIF_JPEG, photo.c_str(), FIF_LOAD_NOPIXELS);
  ASSERT_NE(jpeg, nullptr);
  FITAG* make = nullptr;
  ASSERT_TRUE(FreeImage_GetMetadata(FIMD_EXIF_MAIN, jpeg, "Make", &make));
  EXPECT_STREQ(FreeImage_TagToString(FIMD_EXIF_MAIN, make), "Kodak");
  EXPECT_EQ(FreeImage_GetICCProfile(jpeg)->size, 560);
  FreeImage_Unload(jpeg);
}

TEST_F(SafeOutputTest, AMissingOutputFolderEndsAsAPictureNotPreserved) {
  const ProcessResult result =
      Run({"-i", Input(), "-o", At("no/such/folder/out.png"), "-s", "abcdef"});
  EXPECT_EQ(result.exit_code, 0);
  EXPECT_EQ(result.out, kNotPreserved);
  EXPECT_NE(result.err.find("no/such/folder/out.png"), std::string::npos) << result.err;
  EXPECT_EQ(NamesIn(folder_.path()), std::vector<std::string>{});
}

TEST_F(SafeOutputTest, AnUnwritableOutputFolderEndsAsAPictureNotPreserved) {
  if (::geteuid() == 0) {
    GTEST_SKIP() << "running as root: folder permissions do not stop root from writing";
  }
  const std::filesystem::path locked = folder_ / "locked";
  std::filesystem::create_directory(locked);
  WriteBytes(locked / "out.png", "kept");
  std::filesystem::permissions(
      locked, std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec);
  const ProcessResult result =
      Run({"-i", Input(), "-o", (locked / "out.png").string(), "-s", "abcdef"});
  std::filesystem::permissions(locked, std::filesystem::perms::owner_all);
  EXPECT_EQ(result.exit_code, 0);
  EXPECT_EQ(result.out, kNotPreserved);
  EXPECT_NE(result.err, "");
  EXPECT_EQ(ReadBytes(locked / "out.png"), "kept");
  EXPECT_EQ(NamesIn(locked), std::vector<std::string>{"out.png"});
}

}  // namespace
}  // namespace pmk::testing
