#include "plugin/dialogs/plugin_settings.h"

#include <utility>

#include "plugin/dialogs/language_table.h"
#include "support/dialog_driving.h"

namespace pmk::ui {
namespace {

using PluginSettingsTest = UiFixture;

TEST_F(PluginSettingsTest, SettingsFileRules) {
  struct Case {
    const char* file;
    std::int32_t jpeg;
    std::uint8_t cores;
    std::uint8_t crash_mark;
    bool recursive;
    bool robust;
    bool web;
  };
  // The processor count is 4 (fixture).
  const Case cases[] = {
      {"", 90, 4, 0, true, false, false},
      {"[General]\njpeg=19\nUse Cores=0\nCrashed Last Time=256\nRobust Sign=1\n", 90, 1, 0, true,
       true, false},
      {"[General]\njpeg=20\nUse Cores=257\nCrashed Last Time=1\nRobust Sign=0\nWeb Layer=1\n", 20,
       1, 1, true, false, true},
      {"[General]\njpeg=100\nUse Cores=3\nGo Recursivelly=0\nRobust Sign=7\nWeb Layer=2\n", 100, 3,
       0, false, true, true},
      {"[General]\njpeg=abc\nUse Cores=9\nCrashed Last Time=257\nRobust Sign=x\nWeb Layer=x\n", 90,
       4, 1, true, false, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file);
    WriteSettingsText(c.file);
    PluginSettings settings;
    settings.processor_count = 4;
    LoadSettingsAndLanguageList(settings, plugin_folder_);
    EXPECT_EQ(settings.jpeg_quality, c.jpeg);
    EXPECT_EQ(settings.cores_in_use, c.cores);
    EXPECT_EQ(settings.crash_mark, c.crash_mark);
    EXPECT_EQ(settings.recursive, c.recursive);
    EXPECT_EQ(settings.robust_sign, c.robust);
    EXPECT_EQ(settings.web_layer, c.web);
    // The mark says "running" until the viewer closes in order.
    EXPECT_EQ(pmk::platform::ReadProfileInt(SettingsFilePath(), "General", "Crashed Last Time", 0),
              1);
  }
}

TEST_F(PluginSettingsTest, MissingLanguageFileGivesEnglishAndNoLanguages) {
  PluginSettings settings;
  LoadSettingsAndLanguageList(settings, plugin_folder_);
  LoadLanguageTableFor(settings, plugin_folder_);
  EXPECT_TRUE(settings.language_names.isEmpty());
  EXPECT_EQ(settings.language_current, 0);
  EXPECT_EQ(LanguageText(TextId::kPleaseWait), "Please wait ...");
  EXPECT_EQ(LanguageText(TextId::kSignedTitleSuffix), " - SIGNED");
  // Keys the plug-in never shows, and numbers outside the table.
  for (const int number : {2, 0, 161}) {
    EXPECT_EQ(LanguageText(static_cast<TextId>(number)), "") << number;
  }
}

TEST_F(PluginSettingsTest, LanguageListAndTableComeFromTheCurrentSection) {
  WriteLanguageFile(
      "[General]\nLanguages No=2\nLanguage Current=1\n"
      "[0]\nLanguage=English\nAcronym=EN\n"
      "[1]\nLanguage=Deutsch\nAcronym=DE\nstring7=Bitte warten ...\nstring25=\n");
  PluginSettings settings;
  LoadSettingsAndLanguageList(settings, plugin_folder_);
  LoadLanguageTableFor(settings, plugin_folder_);
  EXPECT_EQ(settings.language_names, QStringList({"English", "Deutsch"}));
  EXPECT_EQ(LanguageText(TextId::kPleaseWait), "Bitte warten ...");  // string7
  EXPECT_EQ(LanguageText(TextId::kReportCaption), "");               // string25: present but empty
  EXPECT_EQ(LanguageText(TextId::kErrorCaption), "Error");           // missing: the default
  EXPECT_EQ(ReadLanguageText(plugin_folder_, 1, TextId::kRestartAfterLanguageChange,
                             RestartAfterLanguageChangeDefault()),
            RestartAfterLanguageChangeDefault());

  WriteLanguageFile("[General]\nLanguages No=250\n");
  LoadSettingsAndLanguageList(settings, plugin_folder_);
  EXPECT_EQ(settings.language_names.size(), kMaxLanguages);
}

TEST_F(PluginSettingsTest, SingleKeysAndShortener) {
  WriteLatestSign("abc-123");
  WriteLatestFolder("/photos/2026");
  WriteJpegQuality(75);
  EXPECT_FALSE(ReadRobustSign());
  EXPECT_FALSE(ReadWebLayer());
  // Each check box has its own key.
  const std::pair<bool, bool> choices[] = {{true, false}, {false, true}, {false, false}};
  for (const auto& [robust, web] : choices) {
    WriteRobustSign(robust);
    WriteWebLayer(web);
    EXPECT_EQ(ReadRobustSign(), robust);
    EXPECT_EQ(ReadWebLayer(), web);
  }
  EXPECT_EQ(ReadLatestSign(), "abc-123");
  EXPECT_EQ(ReadLatestFolder(), "/photos/2026");
  EXPECT_EQ(ReadJpegQuality(), 75);
  EXPECT_EQ(ShortenerUrlFor("abc-123"), "https://tinyurl.com/abc-123");
  pmk::platform::WriteProfileString(SettingsFilePath(), "General", "Shortener URL",
                                    "https://example.org/s/");
  EXPECT_EQ(ShortenerUrlFor("x"), "https://example.org/s/x");
}

}  // namespace
}  // namespace pmk::ui
