// The whole plug-in path: PictomarkerHost runs the filter, the viewer signs
// the picture with its own sign command, the host writes the result, and the
// command-line checker finds the signature in the file.
#include <gtest/gtest.h>
#include <stdlib.h>

#include "plugin/viewer/window_loop.h"
#include "support/plugin_library.h"
#include "support/pmk_cmd_program.h"
#include "support/run_process.h"
#include "support/temp_folder.h"

namespace pmk::plugin {
namespace {

using pmk::testing::RunProcess;
using pmk::testing::TempFolder;

TEST(ViewerEndToEnd, APhotographSignedInTheViewerIsFoundByPmkCmd) {
  TempFolder folder;
  setenv("XDG_CONFIG_HOME", folder.path().c_str(), 1);
  setenv(kWindowLoopTestVariable, "sign:Viewer-e2e", 1);
  std::filesystem::copy_file(pmk::testing::TestData("kodim13.png"), folder / "kodim13.png");

  const auto host =
      RunProcess(testing::kHostProgram, {"kodim13.png", "-o", "signed.png"}, folder.path());
  unsetenv(kWindowLoopTestVariable);
  unsetenv("XDG_CONFIG_HOME");
  ASSERT_EQ(host.exit_code, 0) << host.err;

  const auto original =
      RunProcess(pmk::testing::kPmkCmdProgram, {"-i", "./kodim13.png"}, folder.path());
  EXPECT_EQ(original.out.find("Signature detected"), std::string::npos) << original.out;
  const auto check = RunProcess(pmk::testing::kPmkCmdProgram, {"-i", "./signed.png", "-cores", "2"},
                                folder.path());
  EXPECT_EQ(check.exit_code, 0);
  EXPECT_NE(check.out.find("Signature detected:Viewer-e2e"), std::string::npos) << check.out;
}

}  // namespace
}  // namespace pmk::plugin
