// Runs the PMKInspect program of this build on the detect subcommand and on
// candidates --scale, and checks them against the engine.
#include <gtest/gtest.h>

#include <filesystem>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "engine/engine.h"
#include "engine/internal/candidate_search.h"
#include "engine/internal/check_symbols.h"
#include "engine/internal/embed_options.h"
#include "engine/internal/guide_plane.h"
#include "engine/internal/resample.h"
#include "image/image_files.h"
#include "image/image_record.h"
#include "support/pictures.h"
#include "support/run_inspect.h"
#include "support/run_process.h"
#include "support/temp_folder.h"

namespace pmk {
namespace {

const std::filesystem::path kInspect = testing::kInspectProgram;

class InspectDetectTest : public ::testing::Test {
 protected:
  testing::ProcessResult Inspect(const std::vector<std::string>& arguments) {
    return testing::RunProcess(kInspect, arguments, folder_.path());
  }
  // kodim13 signed with a fixed seed, written losslessly.
  std::string SignedPhoto() {
    ImageRecord colour = testing::LoadColourPhoto("kodim13.png");
    EmbedOptions options;
    options.use_fixed_seed = true;
    options.fixed_seed = 77;
    EXPECT_EQ(EmbedSignature(colour, FormatPayload("stream-1"), {}, options, nullptr),
              ResultCode::kOk);
    const std::filesystem::path file = folder_ / "signed.png";
    EXPECT_TRUE(SaveImage(colour, ImageRecord{}, file, {}, 0));
    return file.string();
  }

  testing::TempFolder folder_;
};

TEST_F(InspectDetectTest, OneScaleListsEveryCandidateUpToTheFoundOne) {
  const std::string photo = SignedPhoto();
  const testing::ProcessResult run = Inspect({"detect", photo, "--scale", "1.0"});
  ASSERT_EQ(run.exit_code, 0) << run.err;
  const auto out = nlohmann::json::parse(run.out);
  EXPECT_EQ(out["scale"], 1.0);
  EXPECT_EQ(out["result"], 0);
  const auto& tried = out["tried"];
  ASSERT_GE(tried.size(), 1u);
  for (std::size_t i = 0; i + 1 < tried.size(); ++i) EXPECT_FALSE(tried[i]["valid"]) << i;
  const auto& found = tried.back();
  EXPECT_TRUE(found["consistent"]);
  EXPECT_TRUE(found["valid"]);
  ASSERT_EQ(found["rect"].size(), 4u);
  const std::string text = found["text"];
  // Check symbols, then the signature; the NULs after it are not printed.
  ASSERT_EQ(text.size(), 16u);
  EXPECT_EQ(text.substr(8), "stream-1");
}

TEST_F(InspectDetectTest, UnsignedPictureAtOneScaleIsNotFound) {
  const testing::ProcessResult run =
      Inspect({"detect", testing::TestData("kodim13.png").string(), "--scale", "1.1"});
  ASSERT_EQ(run.exit_code, 0) << run.err;
  const auto out = nlohmann::json::parse(run.out);
  EXPECT_EQ(out["result"], 1);
  EXPECT_EQ(out["scale"], 1.1);
  ASSERT_GT(out["tried"].size(), 0u);
  for (const auto& entry : out["tried"]) EXPECT_FALSE(entry["valid"]);
}

TEST_F(InspectDetectTest, SeriesSearchReportsTheSignature) {
  const std::string photo = SignedPhoto();
  const testing::ProcessResult run = Inspect({"detect", photo, "--cores", "2"});
  ASSERT_EQ(run.exit_code, 0) << run.err;
  const auto out = nlohmann::json::parse(run.out);
  EXPECT_EQ(out["result"], 0);
  EXPECT_EQ(out["signature"], "stream-1");

  const testing::ProcessResult unsigned_run =
      Inspect({"detect", testing::TestData("rocket_adobergb.jpg").string(), "--cores", "2"});
  ASSERT_EQ(unsigned_run.exit_code, 0) << unsigned_run.err;
  const auto none = nlohmann::json::parse(unsigned_run.out);
  EXPECT_EQ(none["result"], 1);
  EXPECT_TRUE(none["signature"].is_null());
}

TEST_F(InspectDetectTest, BadArgumentsPrintUsage) {
  const std::string photo = testing::TestData("kodim13.png").string();
  const std::vector<std::vector<std::string>> bad{
      {"detect"},
      {"detect", photo, "--scale"},
      {"detect", photo, "--scale", "0"},
      {"detect", photo, "--scale", "-1.5"},
      {"detect", photo, "--scale", "1.0x"},
      {"detect", photo, "--cores", "256"},
      {"detect", photo, "--cores", "two"},
      {"detect", photo, "--scale", "1.0", "--scale", "1.1"},
      {"detect", photo, "--threads", "2"},
      {"candidates", photo, "--scale", "nan"},
      {"candidates", photo, "--scale"},
  };
  for (const auto& arguments : bad) {
    const testing::ProcessResult run = Inspect(arguments);
    EXPECT_EQ(run.exit_code, 2) << arguments.size();
    EXPECT_NE(run.err.find("usage"), std::string::npos);
    EXPECT_TRUE(run.out.empty());
  }
}

TEST_F(InspectDetectTest, UnreadablePictureFails) {
  const testing::ProcessResult run =
      Inspect({"detect", (folder_ / "missing.png").string(), "--scale", "1.0"});
  EXPECT_EQ(run.exit_code, 1);
  EXPECT_TRUE(run.out.empty());
}

TEST_F(InspectDetectTest, CandidatesAtAScaleSearchTheResampledGuidePlane) {
  const std::filesystem::path photo = testing::TestData("kodim13.png");
  const ImageRecord colour = testing::LoadColourPhoto(photo);
  ImageRecord plane;
  ASSERT_EQ(ResampleImage(plane, colour, 1.3), kResultOk);
  ASSERT_EQ(MakeGuidePlane(plane), kResultOk);
  CandidateList list;
  ASSERT_TRUE(list.Reserve(10000));
  ASSERT_EQ(FindCandidateRects(list, plane, kPairingDetection, 1.3, nullptr), kResultOk);

  const testing::ProcessResult run =
      Inspect({"candidates", photo.string(), "--mode", "1", "--scale", "1.3"});
  ASSERT_EQ(run.exit_code, 0) << run.err;
  const auto out = nlohmann::json::parse(run.out);
  EXPECT_EQ(out["width"], 998);   // trunc(1.3 * 768)
  EXPECT_EQ(out["height"], 665);  // trunc(1.3 * 512)
  const auto& candidates = out["candidates"];
  ASSERT_EQ(candidates.size(), list.count());
  for (std::uint32_t i = 0; i < list.count(); ++i) {
    EXPECT_EQ(candidates[i][0].get<double>(), list[i].x0) << i;
    EXPECT_EQ(candidates[i][1].get<double>(), list[i].y0) << i;
    EXPECT_EQ(candidates[i][2].get<double>(), list[i].x1) << i;
    EXPECT_EQ(candidates[i][3].get<double>(), list[i].y1) << i;
  }
  // Detection reads the whole resampled picture after them.
  EXPECT_EQ(out["whole_picture_added"], nlohmann::json({0.0, 0.0, 998.0, 665.0}));
}

TEST_F(InspectDetectTest, TheAddedWholePictureIsMarked) {
  // The search's own whole-plane candidate is not added twice, nor marked.
  const std::string flat = testing::TestData("kodim23.png").string();
  auto out = nlohmann::json::parse(Inspect({"candidates", flat, "--mode", "1"}).out);
  EXPECT_TRUE(out["whole_picture_added"].is_null());
  out = nlohmann::json::parse(Inspect({"detect", flat, "--scale", "1.0"}).out);
  ASSERT_EQ(out["tried"].size(), 1u);
  EXPECT_FALSE(out["tried"][0]["whole_picture_added"]);
  // The embedding's pairing adds nothing.
  out = nlohmann::json::parse(Inspect({"candidates", flat, "--mode", "0"}).out);
  EXPECT_FALSE(out.contains("whole_picture_added"));

  const std::string photo = testing::TestData("kodim13.png").string();
  out = nlohmann::json::parse(Inspect({"detect", photo, "--scale", "1.1"}).out);
  const auto& tried = out["tried"];
  ASSERT_GE(tried.size(), 2u);
  for (std::size_t i = 0; i + 1 < tried.size(); ++i) {
    EXPECT_FALSE(tried[i]["whole_picture_added"]) << i;
  }
  EXPECT_TRUE(tried.back()["whole_picture_added"]);
  EXPECT_EQ(tried.back()["rect"], nlohmann::json({0.0, 0.0, 844.0, 563.0}));
}

}  // namespace
}  // namespace pmk
