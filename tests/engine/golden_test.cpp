// Holds the engine to the decisions it was recorded taking (tests/data/golden,
// written by `PMKInspect golden` through remake.sh): the candidates of the
// detection's search at three scales, the regions, passes, cell values and
// signed blue channel of a seeded signing, and every candidate one-scale
// detections decode. Any speed-up of the engine must leave all of them alone:
// positions to 1e-6 pixels, cell values to 1e-4, everything else exactly.
#include <gtest/gtest.h>

#include <cctype>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <ostream>
#include <string>
#include <vector>

#include "support/pmk_cmd_program.h"
#include "support/run_process.h"
#include "support/temp_folder.h"

namespace pmk {
namespace {

using nlohmann::json;

const std::filesystem::path& kInspect = testing::kInspectProgramFile;

constexpr double kPositionTolerance = 1e-6;
constexpr double kCellTolerance = 1e-4;

struct GoldenCase {
  const char* golden;     // file under tests/data/golden
  const char* photo;      // file under tests/data, or null for a synthetic picture
  const char* synthetic;  // name for --synthetic
};

constexpr GoldenCase kCases[] = {
    {"kodim13.png.json", "kodim13.png", nullptr},
    {"kodim23.png.json", "kodim23.png", nullptr},
    {"kodim13_q92.png.json", "kodim13_q92.png", nullptr},
    {"rocket_night.png.json", "rocket_night.png", nullptr},
    {"tulips_rgba.png.json", "tulips_rgba.png", nullptr},
    {"kodim01_crop_q90.png.json", "kodim01_crop_q90.png", nullptr},
    {"cliff_grey.png.json", "cliff_grey.png", nullptr},
    {"synthetic_blocks.json", nullptr, "blocks"},
    {"synthetic_checks.json", nullptr, "checks"},
    {"synthetic_mosaic.json", nullptr, "mosaic"},
    {"synthetic_flat.json", nullptr, "flat"},
};

void PrintTo(const GoldenCase& c, std::ostream* os) {
  *os << c.golden;
}

void ExpectRectNear(const json& actual, const json& expected, const std::string& where) {
  ASSERT_EQ(actual.size(), 4u) << where;
  ASSERT_EQ(expected.size(), 4u) << where;
  for (std::size_t i = 0; i < 4; ++i) {
    EXPECT_NEAR(actual[i].get<double>(), expected[i].get<double>(), kPositionTolerance)
        << where << " coordinate " << i;
  }
}

void ExpectCandidatesMatch(const json& actual, const json& expected) {
  ASSERT_EQ(actual.size(), expected.size());
  for (std::size_t s = 0; s < expected.size(); ++s) {
    const std::string where = "candidates at scale " + expected[s]["scale"].dump();
    EXPECT_EQ(actual[s]["scale"], expected[s]["scale"]) << where;
    EXPECT_EQ(actual[s]["result"], expected[s]["result"]) << where;
    const json& rects = actual[s]["rects"];
    const json& want = expected[s]["rects"];
    ASSERT_EQ(rects.size(), want.size()) << where;
    for (std::size_t i = 0; i < want.size(); ++i) {
      ExpectRectNear(rects[i], want[i], where + ", rect " + std::to_string(i));
    }
  }
}

void ExpectSigningMatches(const json& actual, const json& expected) {
  EXPECT_EQ(actual["seed"], expected["seed"]);
  EXPECT_EQ(actual["payload"], expected["payload"]);
  EXPECT_EQ(actual["result"], expected["result"]);
  const json& regions = actual["regions"];
  const json& want = expected["regions"];
  ASSERT_EQ(regions.size(), want.size());
  for (std::size_t r = 0; r < want.size(); ++r) {
    const std::string where = "region " + std::to_string(r);
    ExpectRectNear(regions[r]["rect"], want[r]["rect"], where);
    EXPECT_EQ(regions[r]["box"], want[r]["box"]) << where;
    EXPECT_EQ(regions[r]["passes"], want[r]["passes"]) << where;
    EXPECT_NEAR(regions[r]["max_abs_correction"].get<double>(),
                want[r]["max_abs_correction"].get<double>(), kCellTolerance)
        << where;
    EXPECT_EQ(regions[r]["bits"], want[r]["bits"]) << where;
    const json& cells = regions[r]["cells"];
    const json& want_cells = want[r]["cells"];
    ASSERT_EQ(cells.size(), want_cells.size()) << where;
    for (std::size_t c = 0; c < want_cells.size(); ++c) {
      EXPECT_NEAR(cells[c].get<double>(), want_cells[c].get<double>(), kCellTolerance)
          << where << ", cell " << c;
    }
  }
  // Same regions, passes and random draws: the very same pixels.
  EXPECT_EQ(actual["blue_fnv1a64"], expected["blue_fnv1a64"]);
}

void ExpectDetectionsMatch(const json& actual, const json& expected) {
  ASSERT_EQ(actual.size(), expected.size());
  for (std::size_t d = 0; d < expected.size(); ++d) {
    const std::string where = expected[d]["picture"].get<std::string>() + " picture at scale " +
                              expected[d]["scale"].dump();
    EXPECT_EQ(actual[d]["picture"], expected[d]["picture"]) << where;
    EXPECT_EQ(actual[d]["scale"], expected[d]["scale"]) << where;
    EXPECT_EQ(actual[d]["result"], expected[d]["result"]) << where;
    EXPECT_EQ(actual[d]["text"], expected[d]["text"]) << where;
    const json& tried = actual[d]["tried"];
    const json& want = expected[d]["tried"];
    ASSERT_EQ(tried.size(), want.size()) << where;
    for (std::size_t i = 0; i < want.size(); ++i) {
      const std::string candidate = where + ", candidate " + std::to_string(i);
      ExpectRectNear(tried[i]["rect"], want[i]["rect"], candidate);
      EXPECT_EQ(tried[i]["text"], want[i]["text"]) << candidate;
      EXPECT_EQ(tried[i]["consistent"], want[i]["consistent"]) << candidate;
      EXPECT_EQ(tried[i]["valid"], want[i]["valid"]) << candidate;
      EXPECT_EQ(tried[i].value("whole_picture_added", false),
                want[i].value("whole_picture_added", false))
          << candidate;
    }
  }
}

class GoldenTest : public ::testing::TestWithParam<GoldenCase> {
 protected:
  void SetUp() override {
    // The test program depends on the tool, so a missing tool is a broken build.
    ASSERT_TRUE(std::filesystem::exists(kInspect)) << kInspect << " is missing";
  }
};

TEST_P(GoldenTest, EngineTakesTheRecordedDecisions) {
  const GoldenCase& c = GetParam();
  std::ifstream file(testing::TestData(std::string("golden/") + c.golden));
  ASSERT_TRUE(file) << c.golden;
  const json expected = json::parse(file);

  std::vector<std::string> arguments = {"golden"};
  if (c.photo != nullptr) {
    arguments.push_back(testing::TestData(c.photo).string());
  } else {
    arguments.push_back("--synthetic");
    arguments.push_back(c.synthetic);
  }
  testing::TempFolder folder;
  const testing::ProcessResult run = testing::RunProcess(kInspect, arguments, folder.path());
  ASSERT_EQ(run.exit_code, 0) << run.err;
  const json actual = json::parse(run.out);

  EXPECT_EQ(actual["width"], expected["width"]);
  EXPECT_EQ(actual["height"], expected["height"]);
  {
    SCOPED_TRACE("candidates");
    ExpectCandidatesMatch(actual["candidates"], expected["candidates"]);
  }
  {
    SCOPED_TRACE("signing");
    ExpectSigningMatches(actual["signing"], expected["signing"]);
  }
  {
    SCOPED_TRACE("detections");
    ExpectDetectionsMatch(actual["detections"], expected["detections"]);
  }
}

// The recording is worth something only if it covers the paths that matter:
// pictures with many candidates and with none, signings of one and of several
// regions, and a signed picture that reads back.
TEST(GoldenCoverage, RecordingsExerciseTheEnginesMainPaths) {
  bool several_regions = false;
  bool whole_picture_region = false;
  bool many_candidates = false;
  bool signed_found = true;
  bool found_in_added_whole_picture = false;
  for (const GoldenCase& c : kCases) {
    std::ifstream file(testing::TestData(std::string("golden/") + c.golden));
    ASSERT_TRUE(file) << c.golden;
    const json golden = json::parse(file);
    const json& regions = golden["signing"]["regions"];
    several_regions = several_regions || regions.size() > 1;
    for (const json& region : regions) {
      const json& box = region["box"];
      whole_picture_region =
          whole_picture_region ||
          (box[0] == 0 && box[1] == 0 && box[2] == golden["width"] && box[3] == golden["height"]);
    }
    for (const json& scale : golden["candidates"]) {
      many_candidates = many_candidates || scale["rects"].size() > 50;
    }
    for (const json& detection : golden["detections"]) {
      // The whole picture, when added, is read after the search's candidates.
      const json& tried = detection["tried"];
      for (std::size_t i = 0; i + 1 < tried.size(); ++i) {
        EXPECT_FALSE(tried[i].value("whole_picture_added", false)) << c.golden << " " << i;
      }
      found_in_added_whole_picture =
          found_in_added_whole_picture || (detection["result"] == 0 && !tried.empty() &&
                                           tried.back().value("whole_picture_added", false));
      if (detection["picture"] == "signed") {
        signed_found = signed_found && detection["result"] == 0 &&
                       detection["text"].get<std::string>().substr(8, 9) == "golden-26";
      } else {
        EXPECT_EQ(detection["result"], 1) << c.golden;
      }
    }
  }
  EXPECT_TRUE(several_regions);
  EXPECT_TRUE(whole_picture_region);
  EXPECT_TRUE(many_candidates);
  EXPECT_TRUE(signed_found);
  EXPECT_TRUE(found_in_added_whole_picture);
}

INSTANTIATE_TEST_SUITE_P(Pictures, GoldenTest, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<GoldenCase>& info) {
                           std::string name = info.param.golden;
                           for (char& ch : name) {
                             if (!std::isalnum(static_cast<unsigned char>(ch))) ch = '_';
                           }
                           return name;
                         });

}  // namespace
}  // namespace pmk
