#include "platform/windows_command_line.h"

#include <gtest/gtest.h>

namespace pmk::platform {
namespace {

// Each line is what CommandLineToArgvW must split back into the argument.
TEST(WindowsCommandLineTest, QuotesOnlyWhatTheSplittingRulesRequire) {
  const struct {
    const char* argument;
    const char* quoted;
  } cases[] = {
      {"", R"("")"},
      {"plain", "plain"},
      {R"(C:\Pictures\)", R"(C:\Pictures\)"},  // no quotes: backslashes are literal
      {"two words", R"("two words")"},
      {"tab\there", "\"tab\there\""},
      {R"(say "cheese")", R"("say \"cheese\"")"},
      {R"(C:\My Pictures\)", R"("C:\My Pictures\\")"},  // before the closing quote
      {R"(a\\"b)", R"("a\\\\\"b")"},                    // backslashes before a quote
      {R"(a\b c)", R"("a\b c")"},                       // backslash before a letter
      {"Ørsted – 北京.jpg", "\"Ørsted – 北京.jpg\""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(QuoteWindowsArgument(std::string_view(c.argument)), c.quoted) << c.argument;
  }
  EXPECT_EQ(QuoteWindowsArgument(std::wstring_view(LR"(C:\a b\)")), LR"("C:\a b\\")");
}

TEST(WindowsCommandLineTest, JoinsTheProgramAndItsArgumentsWithBlanks) {
  EXPECT_EQ(
      JoinWindowsCommandLine(R"(C:\Program Files\Pictomarker\pmk_cmd\PMKCmd.exe)",
                             {"-i", R"(D:\Fotos\Ørsted – 北京.jpg)", "-s", "", "-cores", "4"}),
      R"("C:\Program Files\Pictomarker\pmk_cmd\PMKCmd.exe" -i "D:\Fotos\Ørsted – 北京.jpg" -s "" -cores 4)");
}

}  // namespace
}  // namespace pmk::platform
