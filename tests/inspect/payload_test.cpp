// Runs the PMKInspect program of this build on the payload subcommands.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <string>

#include "support/run_inspect.h"

namespace {

using pmk::testing::RunInspect;
using pmk::testing::ToolRun;

TEST(InspectPayloadTest, PayloadThenDecodeGivesTheSignatureBack) {
  const ToolRun payload = RunInspect("payload 'ABC-123xyz'");
  ASSERT_EQ(payload.exit_code, 0);
  const auto encoded = nlohmann::json::parse(payload.out);
  EXPECT_EQ(encoded["payload"], "signSIGNABC-123xyz");
  EXPECT_EQ(encoded["symbols"],
            nlohmann::json::parse("[62,23,51,61,27,31,35,35,27,28,29,63,54,55,56,24,25,26]"));
  const std::string cells = encoded["cells"];
  ASSERT_EQ(cells.size(), 256u);

  const ToolRun decode = RunInspect("decode " + cells);
  ASSERT_EQ(decode.exit_code, 0);
  const auto decoded = nlohmann::json::parse(decode.out);
  EXPECT_EQ(decoded["text"], "9wY8AEIIABC-123xyz");
  EXPECT_EQ(decoded["signature"], "ABC-123xyz");
  EXPECT_EQ(decoded["consistent"], true);
  EXPECT_EQ(decoded["valid"], true);
}

TEST(InspectPayloadTest, SignatureIsCutToTenCharacters) {
  const ToolRun run = RunInspect("payload 'abcdefghijkl'");
  ASSERT_EQ(run.exit_code, 0);
  EXPECT_EQ(nlohmann::json::parse(run.out)["payload"], "signSIGNabcdefghij");
}

TEST(InspectPayloadTest, DecodedTextKeepsInnerNulsAndDropsTrailingOnes) {
  // abcdef has the check symbols 7, 8, 12, 16, 20, 24, 0, 0.
  const ToolRun payload = RunInspect("payload abcdef");
  ASSERT_EQ(payload.exit_code, 0);
  const std::string cells = nlohmann::json::parse(payload.out)["cells"];
  const auto decoded = nlohmann::json::parse(RunInspect("decode " + cells).out);
  EXPECT_EQ(decoded["text"], std::string("ghlptx\0\0abcdef", 14));
  EXPECT_EQ(decoded["signature"], "abcdef");
}

TEST(InspectPayloadTest, ShortSignatureIsConsistentButNotValid) {
  const ToolRun payload = RunInspect("payload abcde");
  const std::string cells = nlohmann::json::parse(payload.out)["cells"];
  const auto decoded = nlohmann::json::parse(RunInspect("decode " + cells).out);
  EXPECT_EQ(decoded["signature"], "abcde");
  EXPECT_EQ(decoded["consistent"], true);
  EXPECT_EQ(decoded["valid"], false);
}

TEST(InspectPayloadTest, BadArgumentsAreUsageErrors) {
  EXPECT_EQ(RunInspect("payload").exit_code, 2);
  EXPECT_EQ(RunInspect("payload a b").exit_code, 2);
  EXPECT_EQ(RunInspect("decode").exit_code, 2);
  EXPECT_EQ(RunInspect("decode 0101").exit_code, 2);
  EXPECT_EQ(RunInspect("decode " + std::string(255, '0') + "2").exit_code, 2);
  EXPECT_EQ(RunInspect("decode " + std::string(257, '0')).exit_code, 2);
  EXPECT_EQ(RunInspect("decode " + std::string(256, '0')).exit_code, 0);
}

}  // namespace
