// PMKCmd -robust: signs with larger regions, and the unchanged detection
// still reads the picture at scale 1.0.
#include <gtest/gtest.h>

#include <algorithm>
#include <nlohmann/json.hpp>
#include <string>

#include "engine/engine.h"
#include "image/image_files.h"
#include "support/pmk_cmd_program.h"
#include "support/run_inspect.h"
#include "support/run_process.h"
#include "support/temp_folder.h"

namespace pmk::testing {
namespace {

// kodim13 offers nested candidates, so the two choices differ.
const std::string kPhotograph = TestData("kodim13.png").string();

nlohmann::json Boxes(const std::string& flags) {
  const ToolRun run = RunInspect("regions '" + kPhotograph + "'" + flags);
  EXPECT_EQ(run.exit_code, 0);
  return nlohmann::json::parse(run.out)["boxes"];
}

long long TotalArea(const nlohmann::json& boxes) {
  long long total = 0;
  for (const auto& b : boxes) {
    total += (b[2].get<long long>() - b[0].get<long long>()) *
             (b[3].get<long long>() - b[1].get<long long>());
  }
  return total;
}

bool Inside(const nlohmann::json& boxes, int x, int y) {
  return std::any_of(boxes.begin(), boxes.end(), [&](const nlohmann::json& b) {
    return x >= b[0].get<int>() && x < b[2].get<int>() && y >= b[1].get<int>() &&
           y < b[3].get<int>();
  });
}

TEST(RobustSigningTest, SignedPictureReadsAtScaleOneAndChangesOnlyTheLargerRegions) {
  const nlohmann::json larger = Boxes(" --robust");
  const nlohmann::json smaller = Boxes("");
  ASSERT_FALSE(larger.empty());
  ASSERT_FALSE(smaller.empty());
  EXPECT_GT(TotalArea(larger), TotalArea(smaller));

  TempFolder folder;
  const std::string output = (folder / "robust.png").string();
  const ProcessResult run = RunProcess(
      kPmkCmdProgram, {"-robust", "-i", kPhotograph, "-o", output, "-s", "robust1"}, folder.path());
  EXPECT_EQ(run.exit_code, 0);
  EXPECT_EQ(run.out, "Success!\n\n") << run.err;  // PMKCmd's own check at 1.0

  ImageRecord original, signed_picture, alpha;
  ASSERT_TRUE(LoadImage(kPhotograph, original, alpha));
  ASSERT_TRUE(LoadImage(output, signed_picture, alpha));
  OutputText text;
  ASSERT_EQ(DetectAtScale(signed_picture, text, 1.0, {}), ResultCode::kOk);
  EXPECT_STREQ(text.Signature(), "robust1");

  // Beyond the carrier clamp, blue changes only inside the larger boxes, and
  // some of it lies where the classic choice would not have signed.
  int outside_larger = 0;
  int outside_smaller = 0;
  for (int y = 0; y < original.height(); ++y) {
    const std::uint8_t* before = original.Row<std::uint8_t>(y);
    const std::uint8_t* after = signed_picture.Row<std::uint8_t>(y);
    for (int x = 0; x < original.width(); ++x) {
      const int clamped = std::clamp<int>(before[3 * x], 3, 252);
      if (after[3 * x] == clamped) continue;
      outside_larger += Inside(larger, x, y) ? 0 : 1;
      outside_smaller += Inside(smaller, x, y) ? 0 : 1;
    }
  }
  EXPECT_EQ(outside_larger, 0);
  EXPECT_GT(outside_smaller, 0);
}

TEST(RobustSigningTest, InspectSignUsesTheRegionsThatRegionsReports) {
  TempFolder folder;
  for (const std::string flags : {"", " --robust"}) {
    const ToolRun run = RunInspect("sign '" + kPhotograph + "' '" + (folder / "s.png").string() +
                                   "' tester1 --seed 5" + flags);
    ASSERT_EQ(run.exit_code, 0) << flags;
    EXPECT_EQ(nlohmann::json::parse(run.out)["regions"], Boxes(flags)) << flags;
  }
}

}  // namespace
}  // namespace pmk::testing
