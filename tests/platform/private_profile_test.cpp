#include "platform/private_profile.h"

#include <gtest/gtest.h>

#include <cstdlib>

#include "platform/user_folders.h"
#include "support/temp_folder.h"

namespace pmk::platform {
namespace {

using pmk::testing::ReadBytes;
using pmk::testing::TempFolder;
using pmk::testing::WriteBytes;

// Written by hand the way people edit these files: comments, odd spacing,
// CRLF line ends, keys with blanks, a section that appears twice.
constexpr char kHandWritten[] =
    "; settings kept by hand\r\n"
    "[General]\r\n"
    "  Use Cores =  4 \r\n"
    "jpeg=85x\r\n"
    "Latest Sign=\"my-sign\"\r\n"
    "no equals sign here\r\n"
    "\r\n"
    "[Other]\r\n"
    "jpeg=11\r\n"
    "Empty=\r\n"
    "[general]\r\n"
    "Use Cores=9\r\n";

TEST(PrivateProfileTest, ReadsHandWrittenFile) {
  TempFolder folder;
  const auto file = folder / "settings.txt";
  WriteBytes(file, kHandWritten);
  struct Case {
    const char* section;
    const char* key;
    int number;
    const char* text;
  };
  const Case cases[] = {
      {"General", "Use Cores", 4, "4"},         {"GENERAL", "use cores", 4, "4"},
      {"General", "jpeg", 85, "85x"},           {"Other", "jpeg", 11, "11"},
      {"General", "Latest Sign", 0, "my-sign"}, {"Other", "Empty", 0, ""},
      {"General", "missing", -7, "dflt"},       {"Missing", "jpeg", -7, "dflt"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.section) + "/" + c.key);
    EXPECT_EQ(ReadProfileInt(file, c.section, c.key, -7), c.number);
    EXPECT_EQ(ReadProfileString(file, c.section, c.key, "dflt"), c.text);
  }
  EXPECT_EQ(ReadProfileInt(folder / "none.txt", "General", "jpeg", 90), 90);
  EXPECT_EQ(ReadProfileString(folder / "none.txt", "General", "jpeg", "90"), "90");
}

TEST(PrivateProfileTest, NumbersReadLikeAtoi) {
  TempFolder folder;
  const auto file = folder / "numbers.txt";
  const std::pair<const char*, int> cases[] = {
      {"12", 12},
      {"-3", -3},
      {"+5", 5},
      {"abc", 0},
      {"", 0},
      {"7 8", 7},
      {"99999999999", 2147483647},
      {"-99999999999", -2147483647 - 1},
  };
  for (const auto& [text, number] : cases) {
    WriteProfileString(file, "S", "n", text);
    EXPECT_EQ(ReadProfileInt(file, "S", "n", 42), number) << text;
  }
  WriteProfileInt(file, "S", "n", -12);
  EXPECT_EQ(ReadProfileString(file, "S", "n", ""), "-12");
}

TEST(PrivateProfileTest, WriteChangesOneKeyAndKeepsEveryOtherByte) {
  TempFolder folder;
  const auto file = folder / "settings.txt";
  WriteBytes(file, kHandWritten);
  const std::string original = kHandWritten;
  struct Case {
    const char* section;
    const char* key;
    const char* value;
    std::string expected;
  };
  auto replaced = [&](const std::string& from, const std::string& to) {
    std::string text = original;
    return text.replace(text.find(from), from.size(), to);
  };
  const Case cases[] = {
      {"general", "USE CORES", "2", replaced("  Use Cores =  4 \r\n", "USE CORES=2\r\n")},
      {"Other", "Empty", "x", replaced("Empty=\r\n", "Empty=x\r\n")},
      {"Other", "New Key", "1", replaced("Empty=\r\n", "Empty=\r\nNew Key=1\r\n")},
      {"General", "Latest Folder", "/a b",
       replaced("Latest Sign=\"my-sign\"\r\n",
                "Latest Sign=\"my-sign\"\r\nLatest Folder=/a b\r\n")},
      {"Fresh", "k", "v", original + "[Fresh]\r\nk=v\r\n"},
  };
  for (const Case& c : cases) {
    WriteBytes(file, original);
    WriteProfileString(file, c.section, c.key, c.value);
    EXPECT_EQ(ReadBytes(file), c.expected) << c.section << "/" << c.key;
  }
}

TEST(PrivateProfileTest, WriteCreatesFolderAndFileAndIgnoresFailures) {
  TempFolder folder;
  const auto file = folder / "a" / "b" / "new.txt";
  WriteProfileInt(file, "General", "Crashed Last Time", 1);
  EXPECT_EQ(ReadBytes(file), "[General]\nCrashed Last Time=1\n");
  // A file without a final line break gets one before the new key.
  WriteBytes(file, "[General]\nx=1");
  WriteProfileInt(file, "General", "y", 2);
  EXPECT_EQ(ReadBytes(file), "[General]\nx=1\ny=2");

  // A folder in the way of the file: nothing to write, nothing thrown.
  std::filesystem::create_directories(folder / "blocked");
  WriteProfileInt(folder / "blocked", "General", "x", 1);
  EXPECT_TRUE(std::filesystem::is_directory(folder / "blocked"));
}

// The XDG rules are Linux's; Windows keeps the settings in the known folders.
#ifndef _WIN32
TEST(UserFoldersTest, XdgVariablesWinOverHome) {
  const char* saved_config = std::getenv("XDG_CONFIG_HOME");
  const char* saved_cache = std::getenv("XDG_CACHE_HOME");
  const std::string config = saved_config ? saved_config : "";
  const std::string cache = saved_cache ? saved_cache : "";
  const std::string home = std::getenv("HOME") ? std::getenv("HOME") : "";
  setenv("HOME", "/home/someone", 1);
  setenv("XDG_CONFIG_HOME", "/x/config", 1);
  setenv("XDG_CACHE_HOME", "relative", 1);
  EXPECT_EQ(ConfigFolder(), "/x/config");
  EXPECT_EQ(CacheFolder(), "/home/someone/.cache");
  unsetenv("XDG_CONFIG_HOME");
  EXPECT_EQ(ConfigFolder(), "/home/someone/.config");
  if (saved_config) setenv("XDG_CONFIG_HOME", config.c_str(), 1);
  if (saved_cache)
    setenv("XDG_CACHE_HOME", cache.c_str(), 1);
  else
    unsetenv("XDG_CACHE_HOME");
  setenv("HOME", home.c_str(), 1);
}
#endif

}  // namespace
}  // namespace pmk::platform
