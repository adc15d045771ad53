// Runs the PMKInspect program of this build on the regions and sign
// subcommands.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <string>

#include "support/run_inspect.h"
#include "support/temp_folder.h"

namespace {

using pmk::testing::ReadBytes;
using pmk::testing::RunInspect;
using pmk::testing::ToolRun;
const std::string kPhotograph = PMK_TEST_DATA_DIR "/kodim13.png";

class InspectRegionsSignTest : public ::testing::Test {
 protected:
  std::string Out(const std::string& name) const { return (folder_ / name).string(); }

  pmk::testing::TempFolder folder_;
};

TEST_F(InspectRegionsSignTest, RegionsListsChosenCandidatesAndTheirBoxes) {
  const ToolRun run = RunInspect("regions '" + kPhotograph + "'");
  ASSERT_EQ(run.exit_code, 0);
  const auto out = nlohmann::json::parse(run.out);
  const auto& candidates = out["candidates"];
  const auto& chosen = out["chosen"];
  const auto& boxes = out["boxes"];
  ASSERT_GE(chosen.size(), 1u);
  ASSERT_LE(chosen.size(), 5u);
  ASSERT_EQ(boxes.size(), chosen.size());
  for (std::size_t i = 0; i < chosen.size(); ++i) {
    bool listed = false;
    for (const auto& candidate : candidates) listed = listed || candidate == chosen[i];
    EXPECT_TRUE(listed) << chosen[i];
    const double x0 = chosen[i][0], y0 = chosen[i][1], x1 = chosen[i][2], y1 = chosen[i][3];
    EXPECT_EQ(boxes[i], nlohmann::json::array({static_cast<int>(x0), static_cast<int>(y0),
                                               static_cast<int>(std::ceil(x1)),
                                               static_cast<int>(std::ceil(y1))}));
  }
}

TEST_F(InspectRegionsSignTest, SeededSigningRepeatsExactlyAndUsesTheChosenRegions) {
  const ToolRun first =
      RunInspect("sign '" + kPhotograph + "' '" + Out("a.png") + "' tester1 --seed 11");
  const ToolRun second =
      RunInspect("sign '" + kPhotograph + "' '" + Out("b.png") + "' tester1 --seed 11");
  ASSERT_EQ(first.exit_code, 0);
  ASSERT_EQ(second.exit_code, 0);
  EXPECT_EQ(first.out, second.out);
  const std::string a = ReadBytes(Out("a.png"));
  EXPECT_FALSE(a.empty());
  EXPECT_EQ(a, ReadBytes(Out("b.png")));

  const auto out = nlohmann::json::parse(first.out);
  EXPECT_EQ(out["result"], 0);
  const auto regions = nlohmann::json::parse(RunInspect("regions '" + kPhotograph + "'").out);
  EXPECT_EQ(out["regions"], regions["boxes"]);
  ASSERT_EQ(out["passes"].size(), out["regions"].size());
  ASSERT_EQ(out["max_abs_correction"].size(), out["regions"].size());
  for (const auto& passes : out["passes"]) {
    EXPECT_GE(passes.get<int>(), 1);
    EXPECT_LE(passes.get<int>(), 100);
  }
}

TEST_F(InspectRegionsSignTest, SignatureIsCutToTenCharacters) {
  const ToolRun cut =
      RunInspect("sign '" + kPhotograph + "' '" + Out("cut.png") + "' abcdefghijKLM --seed 3");
  const ToolRun ten =
      RunInspect("sign '" + kPhotograph + "' '" + Out("ten.png") + "' abcdefghij --seed 3");
  ASSERT_EQ(cut.exit_code, 0);
  ASSERT_EQ(ten.exit_code, 0);
  EXPECT_EQ(ReadBytes(Out("cut.png")), ReadBytes(Out("ten.png")));
}

TEST_F(InspectRegionsSignTest, BadArgumentsAreUsageErrors) {
  EXPECT_EQ(RunInspect("regions").exit_code, 2);
  EXPECT_EQ(RunInspect("regions a b").exit_code, 2);
  EXPECT_EQ(RunInspect("sign a b").exit_code, 2);
  EXPECT_EQ(RunInspect("sign a b c --seed").exit_code, 2);
  EXPECT_EQ(RunInspect("sign a b c --seed x12").exit_code, 2);
  EXPECT_EQ(RunInspect("sign a b c --speed 12").exit_code, 2);
}

TEST_F(InspectRegionsSignTest, UnreadableInputFailsWithoutWriting) {
  EXPECT_EQ(RunInspect("regions '" + Out("missing.png") + "'").exit_code, 1);
  EXPECT_EQ(RunInspect("sign '" + Out("missing.png") + "' '" + Out("o.png") + "' abcdef").exit_code,
            1);
  EXPECT_FALSE(std::filesystem::exists(Out("o.png")));
}

}  // namespace
