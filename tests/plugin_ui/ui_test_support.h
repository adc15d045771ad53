// Shared set-up for the plug-in interface tests: a private settings folder,
// a plug-in folder for the language file, and one headless application.
#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QString>
#include <cstdlib>
#include <string>

#include "platform/private_profile.h"
#include "plugin/ui/language_table.h"
#include "plugin/ui/plugin_settings.h"
#include "support/temp_folder.h"

namespace pmk::ui {

// Widgets need one application object; created on first use, headless.
inline QApplication& TestApplication() {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  static int argc = 1;
  static char name[] = "plugin_ui_tests";
  static char* argv[] = {name, nullptr};
  static QApplication application(argc, argv);
  return application;
}

// Each test gets its own settings file and plug-in folder, fresh in-memory
// settings and the English table.
class UiFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    setenv("XDG_CONFIG_HOME", (folder_ / "config").c_str(), 1);
    std::filesystem::create_directories(folder_ / "plugin");
    plugin_folder_ = QString::fromStdString((folder_ / "plugin").string());
    CurrentSettings() = PluginSettings{};
    CurrentSettings().processor_count = 4;
    LoadLanguageTable(QStringLiteral("/nonexistent"), 0);
  }

  std::string SettingsText() const { return pmk::testing::ReadBytes(SettingsFilePath()); }
  void WriteSettingsText(const std::string& text) const {
    pmk::testing::WriteBytes(SettingsFilePath(), text);
  }
  void WriteLanguageFile(const std::string& text) const {
    pmk::testing::WriteBytes(folder_ / "plugin" / "Pictomarker_loc.ini", text);
  }

  pmk::testing::TempFolder folder_;
  QString plugin_folder_;
};

}  // namespace pmk::ui
