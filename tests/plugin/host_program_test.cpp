// PictomarkerHost seen from outside: what it refuses, what it writes, what
// it logs, and the registry it keeps between runs.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <fstream>
#include <nlohmann/json.hpp>

#include "image/image_files.h"
#include "support/plugin_library.h"
#include "support/run_process.h"
#include "support/temp_folder.h"

namespace pmk::plugin {
namespace {

using pmk::testing::ProcessResult;
using pmk::testing::RunProcess;
using pmk::testing::SlurpFile;
using pmk::testing::TempFolder;
using pmk::testing::TestData;

class HostProgramTest : public ::testing::Test {
 protected:
  HostProgramTest() {
    setenv("XDG_CONFIG_HOME", folder_.path().c_str(), 1);
    // The real viewer opens in every run; it closes at once.
    setenv("PMK_WINDOW_LOOP_TEST", "close", 1);
  }
  ~HostProgramTest() override {
    unsetenv("XDG_CONFIG_HOME");
    unsetenv("PMK_WINDOW_LOOP_TEST");
  }
  ProcessResult Host(const std::vector<std::string>& arguments) {
    return RunProcess(testing::kHostProgram, arguments, folder_.path());
  }
  std::filesystem::path Copy(const std::string& name) {
    std::filesystem::copy_file(TestData(name), folder_ / name);
    return folder_ / name;
  }
  std::filesystem::path RegistryFile() const {
    return folder_ / "Pictomarker" / "PictomarkerHost-registry.json";
  }
  TempFolder folder_;
};

bool SamePixels(const std::filesystem::path& a, const std::filesystem::path& b) {
  ImageRecord colour_a, alpha_a, colour_b, alpha_b;
  if (!LoadImage(a, colour_a, alpha_a) || !LoadImage(b, colour_b, alpha_b)) return false;
  auto same = [](const ImageRecord& x, const ImageRecord& y) {
    return x.size() == y.size() && x.width() == y.width() &&
           std::equal(x.data(), x.data() + x.size(), y.data());
  };
  return same(colour_a, colour_b) && same(alpha_a, alpha_b);
}

TEST_F(HostProgramTest, RefusesWhatTheEditorWouldNotRun) {
  ImageRecord small;
  ASSERT_EQ(small.Allocate(255, 300, 3, 8), kResultOk);
  std::fill(small.data(), small.data() + small.size(), 90);
  ASSERT_TRUE(SaveImage(small, ImageRecord(), folder_ / "small.png", "", 0));
  struct Case {
    std::vector<std::string> arguments;
    int exit_code;
    const char* message;
  };
  const Case cases[] = {
      {{Copy("kodim23.png"), "--plugin", PMK_NOT_A_FILTER}, 2, "is not a filter plug-in"},
      {{(folder_ / "small.png").string()}, 3, "the filter takes 256 x 256 to 10000 x 10000"},
      {{Copy("cliff_grey.png")}, 3, "8-bit RGB pictures only"},
      {{(folder_ / "missing.png").string()}, 3, "cannot read"},
      {{"--repeat"}, 1, "usage: PictomarkerHost"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.message);
    const ProcessResult result = Host(c.arguments);
    EXPECT_EQ(result.exit_code, c.exit_code);
    EXPECT_NE(result.err.find(c.message), std::string::npos) << result.err;
  }
  EXPECT_FALSE(std::filesystem::exists(folder_ / "kodim23-signed.png"));
  EXPECT_FALSE(std::filesystem::exists(folder_ / "small-signed.png"));
}

TEST_F(HostProgramTest, WritesThePictureBackBesideTheInputAndLogsTheRun) {
  struct Case {
    const char* picture;
    const char* output;
    const char* window;
  };
  const Case cases[] = {
      {"kodim23.png", "kodim23-signed.png", "close"},
      {"tulips_rgba.png", "tulips_rgba-signed.png", "close"},
      {"kodim13_exif_icc.jpg", "kodim13_exif_icc-signed.jpg", "clear-blue"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.picture);
    setenv("PMK_WINDOW_LOOP_TEST", c.window, 1);
    const std::filesystem::path input = Copy(c.picture);
    const ProcessResult result = Host({input, "--log", "run.log"});
    ASSERT_EQ(result.exit_code, 0) << result.err;
    const std::filesystem::path output = folder_ / c.output;
    ASSERT_TRUE(std::filesystem::exists(output));
    if (std::string(c.window) == "close" && std::string(c.picture) != "tulips_rgba.png") {
      EXPECT_TRUE(SamePixels(input, output));
    }
    const std::string log = SlurpFile(folder_ / "run.log");
    EXPECT_NE(log.find("selector 1 Parameters -> 0\nselector 2 Prepare -> 0\nadvanceState in"),
              std::string::npos)
        << log;
    EXPECT_NE(log.find("selector 3 Start -> 0\nselector 4 Continue -> 0\nselector 5 Finish -> 0"),
              std::string::npos)
        << log;
    std::filesystem::remove(folder_ / "run.log");
  }
  // The metadata went along: the JPEG's profile is still there.
  EXPECT_NE(SlurpFile(folder_ / "kodim13_exif_icc-signed.jpg").find("ICC_PROFILE"),
            std::string::npos);
}

// The real about box opens in the plug-in and closes at once under the seam.
TEST_F(HostProgramTest, AboutShowsTheBoxAndNamesThePlugIn) {
  const ProcessResult result = Host({"--about", "--log", "about.log"});
  ASSERT_EQ(result.exit_code, 0) << result.err;
  EXPECT_NE(result.out.find("Pictomarker"), std::string::npos) << result.out;
  EXPECT_EQ(SlurpFile(folder_ / "about.log"), "selector 0 About -> 0\n");
}

TEST_F(HostProgramTest, ACancelledRunWritesNothing) {
  setenv("PMK_WINDOW_LOOP_TEST", "fail", 1);
  const ProcessResult result = Host({Copy("kodim23.png"), "-o", "out.png"});
  EXPECT_EQ(result.exit_code, 4);
  EXPECT_FALSE(std::filesystem::exists(folder_ / "out.png"));
}

TEST_F(HostProgramTest, TheRegistryAndTheRecordedStepSurviveTheProgram) {
  const std::filesystem::path input = Copy("kodim23.png");
  ASSERT_EQ(Host({input, "-o", "first.png"}).exit_code, 0);
  ASSERT_TRUE(std::filesystem::exists(RegistryFile()));
  nlohmann::json json = nlohmann::json::parse(SlurpFile(RegistryFile()));
  auto& stored = json["registry"]["b2f388c0-816c-11df-8c4a-0800200c9a66"];
  ASSERT_TRUE(stored.is_array());
  for (auto& item : stored) {
    if (item["key"] == "Amnt") item["number"] = 77.0;
  }
  std::ofstream(RegistryFile()) << json.dump();

  // The next run has no recorded step: it starts from the stored values and
  // stores them again.
  ASSERT_EQ(Host({input, "-o", "second.png"}).exit_code, 0);
  json = nlohmann::json::parse(SlurpFile(RegistryFile()));
  int found = 0;
  for (const auto& item : json["registry"]["b2f388c0-816c-11df-8c4a-0800200c9a66"]) {
    if (item["key"] == "Amnt") found += item["number"] == 77.0;
  }
  EXPECT_EQ(found, 1);

  // A repeat plays the recorded step without dialog and changes nothing.
  setenv("PMK_WINDOW_LOOP_TEST", "clear-blue", 1);
  const ProcessResult repeat = Host({input, "-o", "third.png", "--repeat", "--log", "r.log"});
  ASSERT_EQ(repeat.exit_code, 0) << repeat.err;
  EXPECT_TRUE(SamePixels(input, folder_ / "third.png"));
  EXPECT_EQ(SlurpFile(folder_ / "r.log"),
            "selector 2 Prepare -> 0\nselector 3 Start -> 0\nselector 5 Finish -> 0\n");
}

}  // namespace
}  // namespace pmk::plugin
