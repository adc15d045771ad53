// Runs the PMKInspect program of this build on the candidates and cells
// subcommands and checks them against the engine.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <string>

#include "engine/internal/candidate_search.h"
#include "engine/internal/guide_plane.h"
#include "engine/internal/payload_cells.h"
#include "image/image_files.h"
#include "image/image_record.h"
#include "support/pictures.h"
#include "support/run_inspect.h"
#include "support/temp_folder.h"

namespace pmk {
namespace {

using pmk::testing::RunInspect;
using pmk::testing::ToolRun;
const std::filesystem::path kData = PMK_TEST_DATA_DIR;

TEST(InspectCandidatesTest, ReportsTheEnginesCornersAndCandidatesAtFullPrecision) {
  const std::filesystem::path photo = kData / "kodim13.png";
  const ImageRecord plane = testing::GuidePlaneOf(photo);
  for (int mode : {0, 1}) {
    const ToolRun run =
        RunInspect("candidates '" + photo.string() + "' --mode " + std::to_string(mode));
    ASSERT_EQ(run.exit_code, 0);
    const auto out = nlohmann::json::parse(run.out);
    EXPECT_EQ(out["width"], plane.width());
    EXPECT_EQ(out["height"], plane.height());
    EXPECT_EQ(out["mode"], mode);
    for (const char* pass : {"dark", "bright"}) {
      const auto& corners = out["corners"][pass];
      ASSERT_GT(corners.size(), 0u) << pass;
      ASSERT_LE(corners.size(), 50u) << pass;
      for (std::size_t i = 1; i < corners.size(); ++i) {
        EXPECT_GE(corners[i - 1][2].get<double>(), corners[i][2].get<double>());
      }
    }
    CandidateList list;
    ASSERT_TRUE(list.Reserve(10000));
    ASSERT_EQ(FindCandidateRects(list, plane, mode, 1.0, nullptr), kResultOk);
    const auto& rects = out["candidates"];
    ASSERT_EQ(rects.size(), list.count());
    for (std::uint32_t i = 0; i < list.count(); ++i) {
      EXPECT_EQ(rects[i][0].get<double>(), list[i].x0);
      EXPECT_EQ(rects[i][1].get<double>(), list[i].y0);
      EXPECT_EQ(rects[i][2].get<double>(), list[i].x1);
      EXPECT_EQ(rects[i][3].get<double>(), list[i].y1);
    }
  }
}

TEST(InspectCandidatesTest, ModeDefaultsToEmbeddingAndBadArgumentsAreUsageErrors) {
  const std::string photo = "'" + (kData / "kodim23.png").string() + "'";
  const ToolRun plain = RunInspect("candidates " + photo);
  ASSERT_EQ(plain.exit_code, 0);
  EXPECT_EQ(nlohmann::json::parse(plain.out)["mode"], 0);
  EXPECT_EQ(RunInspect("candidates").exit_code, 2);
  EXPECT_EQ(RunInspect("candidates " + photo + " --mode 2").exit_code, 2);
  EXPECT_EQ(RunInspect("candidates " + photo + " --mode").exit_code, 2);
  EXPECT_EQ(RunInspect("candidates /nonexistent/picture.png").exit_code, 1);
}

// A picture whose blue channel holds each cell's bit as a flat block: 60
// (remainder 0) for 0 and 64 (remainder 4) for 1. Cells of 30 pixels keep
// the 7-tap smoothing of one block away from the next cell's ellipse.
void WritePayloadPicture(const std::filesystem::path& file, const CellBits& bits) {
  ImageRecord colour;
  ASSERT_EQ(colour.Allocate(500, 500, 3, 8), kResultOk);
  for (int y = 0; y < 500; ++y) {
    std::uint8_t* row = colour.Row<std::uint8_t>(y);
    for (int x = 0; x < 500; ++x) {
      std::uint8_t blue = 60;
      if (x >= 10 && x < 490 && y >= 10 && y < 490) {
        blue = bits[16 * ((y - 10) / 30) + (x - 10) / 30] != 0 ? 64 : 60;
      }
      row[3 * x] = blue;
      row[3 * x + 1] = static_cast<std::uint8_t>(x / 2);
      row[3 * x + 2] = static_cast<std::uint8_t>(y / 2);
    }
  }
  ImageRecord no_alpha;
  ASSERT_TRUE(SaveImage(colour, no_alpha, file, {}, 0));
}

TEST(InspectCandidatesTest, CellsReadsTheBitsAndThePayloadOfARegion) {
  const CellBits bits = EncodePayloadCells("signSIGNabcdef");
  testing::TempFolder folder;
  const std::filesystem::path file = folder / "cells.png";
  WritePayloadPicture(file, bits);

  const ToolRun run = RunInspect("cells '" + file.string() + "' --rect 10,10,490,490");
  ASSERT_EQ(run.exit_code, 0);
  const auto out = nlohmann::json::parse(run.out);
  ASSERT_EQ(out["values"].size(), 256u);
  const std::string bit_text = out["bits"];
  ASSERT_EQ(bit_text.size(), 256u);
  for (int t = 0; t < 256; ++t) {
    EXPECT_EQ(bit_text[t], bits[t] != 0 ? '1' : '0') << "cell " << t;
    EXPECT_NEAR(out["values"][t].get<double>(), bits[t] != 0 ? 64.0 : 60.0, 1e-3) << "cell " << t;
  }
  const std::string text = out["text"];
  EXPECT_EQ(text.substr(8), "abcdef");
  EXPECT_EQ(out["consistent"], true);
  EXPECT_EQ(out["valid"], true);
}

TEST(InspectCandidatesTest, CellsRefusesRectanglesOutsideThePictureAndBadArguments) {
  const std::string photo = "'" + (kData / "kodim23.png").string() + "'";  // 768 x 512
  EXPECT_EQ(RunInspect("cells " + photo + " --rect 0,0,768.5,512").exit_code, 1);
  EXPECT_EQ(RunInspect("cells " + photo + " --rect 0,0,768,512").exit_code, 0);
  EXPECT_EQ(RunInspect("cells " + photo + " --rect 10,10,5,400").exit_code, 2);
  EXPECT_EQ(RunInspect("cells " + photo + " --rect 10,10,400").exit_code, 2);
  EXPECT_EQ(RunInspect("cells " + photo + " --rect -1,0,300,300").exit_code, 2);
  EXPECT_EQ(RunInspect("cells " + photo + " --rect 1,2,3,4x").exit_code, 2);
  EXPECT_EQ(RunInspect("cells " + photo).exit_code, 2);
}

}  // namespace
}  // namespace pmk
