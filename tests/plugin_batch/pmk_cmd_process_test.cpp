#include "plugin/batch/pmk_cmd_process.h"

#include <gtest/gtest.h>

#include "platform/run_program.h"
#include "support/stand_in_plugin_folder.h"

namespace pmk {
namespace {

using testing::kStandInProgram;
using testing::PluginFolder;
using Arguments = std::vector<std::string>;

TEST(PmkCmdProcess, SigningAndDetectionCommandLines) {
  PluginFolder plugin(kStandInProgram);
  const PmkCmdSettings settings{plugin.path(), 1, 100};
  const std::filesystem::path input = "/photos/my holiday/beach \"1\".jpg";
  RunSignerProcess(settings, input, "/photos/my holiday/signed/beach.jpg", "Abc-123-XY",
                   "/photos/my holiday/signed/signing_output.log");
  RunDetectorProcess(settings, input, "/photos/my holiday/detecting_output.log");

  const auto record = plugin.Record();
  ASSERT_EQ(record.runs.size(), 2u);
  EXPECT_EQ(record.runs[0],
            (Arguments{"-s", "Abc-123-XY", "-cores", "1", "-i", input.string(), "-o",
                       "/photos/my holiday/signed/beach.jpg", "-l",
                       "/photos/my holiday/signed/signing_output.log", "-c", "100"}));
  EXPECT_EQ(record.runs[1], (Arguments{"-cores", "1", "-i", input.string(), "-l",
                                       "/photos/my holiday/detecting_output.log"}));
  EXPECT_EQ(record.ended, 2);
}

TEST(PmkCmdProcess, SigningOptionsEndTheSignerArguments) {
  const Arguments classic = {"-s", "abc-123", "-cores", "2", "-i", "in.png",
                             "-o", "out.png", "-l",     "l", "-c", "90"};
  struct Case {
    bool robust, web;
    Arguments options;
  } const cases[] = {
      {false, false, {}},
      {true, false, {"-robust"}},
      {false, true, {"-web"}},
      {true, true, {"-robust", "-web"}},
  };
  for (const Case& c : cases) {
    const PmkCmdSettings settings{"/plugin", 2, 90, c.robust, c.web};
    Arguments expected = classic;
    expected.insert(expected.end(), c.options.begin(), c.options.end());
    EXPECT_EQ(SignerArguments(settings, "in.png", "out.png", "abc-123", "l"), expected);
    // Detection is the same for every signing.
    EXPECT_EQ(DetectorArguments(settings, "in.png", "l"),
              (Arguments{"-cores", "2", "-i", "in.png", "-l", "l"}));
  }
}

TEST(PmkCmdProcess, MissingProgramStartsNothing) {
  testing::TempFolder empty;
  EXPECT_EQ(RunDetectorProcess({empty.path(), 2, 90}, empty / "a.jpg", empty / "log"),
            platform::kProgramNotStarted);
  EXPECT_FALSE(std::filesystem::exists(empty / "log"));
}

#ifndef _WIN32
TEST(RunProgram, ReportsExitStatusAndSignals) {
  EXPECT_EQ(platform::RunProgramAndWait("/bin/sh", {"-c", "exit 7"}), 7);
  EXPECT_EQ(platform::RunProgramAndWait("/bin/sh", {"-c", "kill -9 $$"}), 128 + 9);
  EXPECT_EQ(platform::RunProgramAndWait("/bin/sh", {"-c", "echo noise; echo more >&2"}), 0);
}
#endif

}  // namespace
}  // namespace pmk
