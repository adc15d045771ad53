// PMKCmd -web: signs the cell mark and the web layer, verifies both, and
// every check reads the web layer first, also after a turn and a shrink.
#include <gtest/gtest.h>

#include <string>

#include "engine/engine.h"
#include "image/image_files.h"
#include "support/metadata_fixtures.h"
#include "support/pmk_cmd_program.h"
#include "support/run_process.h"
#include "support/temp_folder.h"

namespace pmk::testing {
namespace {

ProcessResult Pmk(const TempFolder& folder, std::vector<std::string> arguments) {
  return RunProcess(kPmkCmdProgram, arguments, folder.path());
}

TEST(WebLayerCmdTest, SignsBothLayersAndTheChecksFindThem) {
  const TempFolder folder;
  const std::string output = (folder / "web.png").string();
  for (const bool robust : {false, true}) {
    std::vector<std::string> sign = {
        "-web", "-i", TestData("kodim13.png").string(), "-o", output, "-s", "webcmd1"};
    if (robust) sign.insert(sign.begin(), "-robust");
    const ProcessResult signing = Pmk(folder, sign);
    EXPECT_EQ(signing.exit_code, 0);
    EXPECT_EQ(signing.out, "Success!\n\n") << signing.err;

    // The cell mark's detection, unchanged, still reads the picture.
    ImageRecord picture;
    ImageRecord alpha;
    ASSERT_TRUE(LoadImage(output, picture, alpha));
    OutputText text;
    ASSERT_EQ(DetectAtScale(picture, text, 1.0, {}), ResultCode::kOk) << robust;
    EXPECT_STREQ(text.Signature(), "webcmd1");
    ASSERT_EQ(DetectWebLayer(picture, text, {}), ResultCode::kOk) << robust;
    EXPECT_STREQ(text.Signature(), "webcmd1");
  }

#ifndef _WIN32  // ImageMagick makes the copies: a Linux program here.
  // Turned, mirrored and shrunk copies: found by the layer alone.
  for (const char* arguments : {"-rotate 90 -resize 50% -quality 80", "-flop -quality 70"}) {
    const std::string copy = (folder / "published.jpg").string();
    ASSERT_EQ(ShellOutput("convert " + Quoted(output) + " " + arguments + " " + Quoted(copy) +
                          " && echo ok"),
              "ok\n");
    const ProcessResult check = Pmk(folder, {"-i", copy});
    EXPECT_EQ(check.exit_code, 0);
    EXPECT_EQ(check.out, "Signature detected:webcmd1\n") << arguments;
  }
#endif

  // Asked to sign again, it reports the signature and writes nothing.
  const std::string again = (folder / "again.png").string();
  const ProcessResult refused = Pmk(folder, {"-web", "-i", output, "-o", again, "-s", "other1"});
  EXPECT_EQ(refused.out, "Signature detected:webcmd1\n");
  EXPECT_FALSE(std::filesystem::exists(again));
}

TEST(WebLayerCmdTest, TextOnlyAndUnsignedPicturesReadAsBefore) {
  const TempFolder folder;
  const std::string output = (folder / "text.png").string();
  const ProcessResult signing =
      Pmk(folder, {"-i", TestData("kodim23.png").string(), "-o", output, "-s", "textonly"});
  EXPECT_EQ(signing.out, "Success!\n\n");
  EXPECT_EQ(Pmk(folder, {"-i", output}).out, "Signature detected:textonly\n");
  EXPECT_EQ(Pmk(folder, {"-i", TestData("kodim23.png").string()}).out, "No signature detected!\n");
}

}  // namespace
}  // namespace pmk::testing
