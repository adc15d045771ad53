#include "cmd/run_options.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "cmd/bare_names.h"
#include "cmd/sign_and_verify.h"

namespace pmk::cmd {
namespace {

RunOptions Parse(std::vector<std::string_view> arguments) {
  return ParseArguments(arguments);
}

TEST(ReadIntegerTest, ReadsLikeAtoi) {
  EXPECT_EQ(ReadInteger("80"), 80);
  EXPECT_EQ(ReadInteger("  -5"), -5);
  EXPECT_EQ(ReadInteger("+12abc"), 12);
  EXPECT_EQ(ReadInteger("abc"), 0);
  EXPECT_EQ(ReadInteger(""), 0);
  EXPECT_EQ(ReadInteger("99999999999999999999"), 2147483647);
  EXPECT_EQ(ReadInteger("-99999999999999999999"), -2147483647 - 1);
}

TEST(ParseArgumentsTest, QualityIsHonouredAtItsFirstMatchOnly) {
  const RunOptions options = Parse({"-c", "0", "-c", "80", "-i", "in.jpg"});
  EXPECT_EQ(options.jpeg_quality, 95);
  EXPECT_TRUE(options.has_quality);
  EXPECT_EQ(Parse({"-c", "80"}).jpeg_quality, 80);
  EXPECT_EQ(Parse({"-c", "-5"}).jpeg_quality, 95);
  EXPECT_EQ(Parse({"-c", "abc"}).jpeg_quality, 95);
  EXPECT_EQ(Parse({"-c", "1000"}).jpeg_quality, 1000);
}

TEST(ParseArgumentsTest, CoresKeepTheLastValueAndItsLowEightBits) {
  EXPECT_EQ(Parse({"-cores", "2", "-cores", "4"}).cores, 4);
  EXPECT_EQ(Parse({"-cores", "258"}).cores, 2);
  EXPECT_EQ(Parse({"-cores", "abc"}).cores, 0);
  EXPECT_FALSE(Parse({"-cores"}).has_cores);
}

TEST(ParseArgumentsTest, ValuesAreTakenAsTheyStand) {
  const RunOptions options = Parse({"-i", "-o"});
  EXPECT_TRUE(options.has_input);
  EXPECT_EQ(options.input, "-o");
  EXPECT_FALSE(options.has_output);
}

TEST(ParseArgumentsTest, AnOptionStandingLastIsIgnored) {
  const RunOptions options = Parse({"-o", "out.jpg", "-s", "abc", "-i"});
  EXPECT_FALSE(options.has_input);
  EXPECT_EQ(options.output, "out.jpg");
}

TEST(ParseArgumentsTest, ALaterRepeatIsAnUnknownTokenAndItsValueIsExaminedAlone) {
  // The second "-i" is skipped, so "-v" after it counts as an option.
  const RunOptions options = Parse({"-i", "a.jpg", "-i", "-v", "-s", "sig"});
  EXPECT_EQ(options.input, "a.jpg");
  EXPECT_TRUE(options.verbose);
  EXPECT_EQ(options.signature, "sig");
}

TEST(ParseArgumentsTest, OrderDoesNotMatterAndUnknownTokensAreSkipped) {
  const RunOptions options =
      Parse({"extra", "-s", "abcdef", "-x", "-o", "b.png", "-l", "run.log", "-i", "a.png", "-v"});
  EXPECT_EQ(options.input, "a.png");
  EXPECT_EQ(options.output, "b.png");
  EXPECT_EQ(options.log, "run.log");
  EXPECT_EQ(options.signature, "abcdef");
  EXPECT_TRUE(options.verbose);
}

TEST(ParseArgumentsTest, RobustAndWebAreFlagsAnywhereButNotWhereAValueIsExpected) {
  const struct {
    std::vector<std::string_view> arguments;
    bool robust;
    bool web;
    std::string_view signature;
  } cases[] = {
      {{"-i", "a.png"}, false, false, ""},
      {{"-robust", "-i", "a.png", "-robust"}, true, false, ""},
      {{"-web", "-i", "a.png", "-robust"}, true, true, ""},
      {{"-i", "a.png", "-s", "-robust"}, false, false, "-robust"},  // the signature's value
      {{"-i", "a.png", "-s", "-web"}, false, false, "-web"},
      {{"-i", "a.png", "-Robust", "-WEB"}, false, false, ""},  // case-sensitive
  };
  for (const auto& c : cases) {
    const RunOptions options = Parse(c.arguments);
    EXPECT_EQ(options.robust, c.robust) << c.arguments.back();
    EXPECT_EQ(options.web, c.web) << c.arguments.back();
    EXPECT_EQ(options.signature, c.signature);
    EXPECT_EQ(options.input, "a.png");
  }
}

TEST(CheckLimitsTest, NamesAndSignaturesBeyondTheirBuffersAreRefused) {
  RunOptions options;
  options.input = std::string(kMaxNameLength, 'a');
  options.signature = std::string(kMaxSignatureBytes, 's');
  EXPECT_EQ(CheckLimits(options), "");
  options.input += 'a';
  EXPECT_NE(CheckLimits(options), "");
  options.input.pop_back();
  options.signature += 's';
  EXPECT_NE(CheckLimits(options), "");
}

TEST(BareNamesTest, BareNamesAreJoinedToTheProgramsFolder) {
  EXPECT_TRUE(IsBareName("photo.jpg"));
  EXPECT_TRUE(IsBareName(""));
  EXPECT_FALSE(IsBareName("./photo.jpg"));
  EXPECT_FALSE(IsBareName("dir\\photo.jpg"));
  EXPECT_EQ(ResolveBareName("photo.jpg", "/opt/pmk/PMKCmd"), "/opt/pmk/photo.jpg");
  EXPECT_EQ(ResolveBareName("./photo.jpg", "/opt/pmk/PMKCmd"), "./photo.jpg");
  EXPECT_EQ(ResolveBareName("photo.jpg", "PMKCmd"), "photo.jpg");
  EXPECT_EQ(ResolveBareName("", "/opt/pmk/PMKCmd"), "/opt/pmk/");
}

TEST(BareNamesTest, JoinedNamesLongerThanTheLimitAreRefused) {
  const std::string folder = "/" + std::string(1000, 'f') + "/PMKCmd";
  const std::string fits(kMaxJoinedNameLength - 1002, 'n');
  EXPECT_EQ(ResolveBareName(fits, folder)->size(), kMaxJoinedNameLength);
  EXPECT_FALSE(ResolveBareName(fits + "n", folder).has_value());
}

TEST(BareNamesTest, HintsOnlyForBareNamesTheRuleMoved) {
  const std::string here = std::filesystem::current_path().string();
  const std::string tail = ", as bare names are; write ./p.jpg for the current folder";
  const struct {
    std::string name, resolved, input_hint, output_note;
  } cases[] = {
      {"p.jpg", "/no/such/p.jpg", "p.jpg was looked for in the program's folder (/no/such)" + tail,
       "p.jpg was written to the program's folder (/no/such)" + tail},
      {"p.jpg", "/p.jpg", "p.jpg was looked for in the program's folder (/)" + tail,
       "p.jpg was written to the program's folder (/)" + tail},
      {"./p.jpg", "./p.jpg", "", ""},  // a folder given
      {"p.jpg", "p.jpg", "", ""},      // the program's path held no folder
      {"", "/no/such/", "", ""},       // nothing typed
      {"p.jpg", here + "/p.jpg",
       "p.jpg was looked for in the program's folder (" + here + ")" + tail,
       ""},  // written where the user is anyway
  };
  for (const auto& c : cases) {
    EXPECT_EQ(BareInputHint(c.name, c.resolved), c.input_hint) << c.resolved;
    EXPECT_EQ(BareOutputNote(c.name, c.resolved), c.output_note) << c.resolved;
  }
  // An input that is there needs no explanation.
  const std::filesystem::path there = std::filesystem::temp_directory_path();
  EXPECT_EQ(BareInputHint(there.filename().string(), there.string()), "");
}

}  // namespace
}  // namespace pmk::cmd
