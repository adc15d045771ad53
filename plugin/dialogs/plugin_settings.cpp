#include "plugin/dialogs/plugin_settings.h"

#include <algorithm>
#include <string>
#include <system_error>

#include "platform/private_profile.h"
#include "platform/processor_count.h"
#include "platform/user_folders.h"
#include "plugin/dialogs/language_table.h"
#include "plugin/dialogs/qt_path.h"

namespace pmk::ui {
namespace {

constexpr char kGeneral[] = "General";

std::filesystem::path LanguageFile(const QString& plugin_folder) {
  return PathFromQString(LanguageFilePath(plugin_folder));
}

QString ReadSetting(const char* key, const char* fallback) {
  return QString::fromUtf8(
      platform::ReadProfileString(SettingsFilePath(), kGeneral, key, fallback));
}

int ReadSettingInt(const char* key, int fallback) {
  return platform::ReadProfileInt(SettingsFilePath(), kGeneral, key, fallback);
}

void WriteSetting(const char* key, const QString& value) {
  platform::WriteProfileString(SettingsFilePath(), kGeneral, key, value.toStdString());
}

void WriteSettingInt(const char* key, int value) {
  platform::WriteProfileInt(SettingsFilePath(), kGeneral, key, value);
}

}  // namespace

PluginSettings& CurrentSettings() {
  static PluginSettings settings;
  return settings;
}

std::uint8_t ViewerProcessorCount() {
  return static_cast<std::uint8_t>(std::clamp(platform::ProcessorCount(), 1, 24));
}

std::filesystem::path SettingsFilePath() {
  const std::filesystem::path folder = platform::ConfigFolder() / "PMKPhotoshopPlugIn";
  std::error_code ignored;
  std::filesystem::create_directories(folder, ignored);
  return folder / "PMKPhotoshopPlugIn.txt";
}

void LoadSettingsAndLanguageList(PluginSettings& settings, const QString& plugin_folder) {
  if (settings.processor_count == 0) settings.processor_count = ViewerProcessorCount();
  const std::filesystem::path language_file = LanguageFile(plugin_folder);
  settings.language_count = platform::ReadProfileInt(language_file, kGeneral, "Languages No", 0);
  settings.language_current =
      platform::ReadProfileInt(language_file, kGeneral, "Language Current", 0);

  settings.crash_mark = static_cast<std::uint8_t>(ReadSettingInt("Crashed Last Time", 0));
  WriteSettingInt("Crashed Last Time", 1);
  settings.recursive = ReadSettingInt("Go Recursivelly", 1) != 0;
  settings.jpeg_quality = ReadJpegQuality();
  settings.robust_sign = ReadRobustSign();
  settings.web_layer = ReadWebLayer();
  int cores = static_cast<std::uint8_t>(ReadSettingInt("Use Cores", 16));
  if (cores > settings.processor_count) cores = settings.processor_count;
  settings.cores_in_use = static_cast<std::uint8_t>(cores == 0 ? 1 : cores);

  settings.language_names.clear();
  const int languages = std::min(settings.language_count, kMaxLanguages);
  for (int index = 0; index < languages; ++index) {
    const std::string section = LanguageSection(index).toStdString();
    settings.language_names.append(
        QString::fromUtf8(platform::ReadProfileString(language_file, section, "Language", "")));
    // "Acronym" is part of each language's section but nothing shows it.
  }
}

void LoadLanguageTableFor(const PluginSettings& settings, const QString& plugin_folder) {
  LoadLanguageTable(plugin_folder, settings.language_current);
}

QString ReadLatestSign() {
  return ReadSetting("Latest Sign", "");
}

void WriteLatestSign(const QString& sign) {
  WriteSetting("Latest Sign", sign);
}

std::int32_t ReadJpegQuality() {
  const int quality = ReadSettingInt("jpeg", 90);
  return quality < 20 ? 90 : quality;
}

void WriteJpegQuality(std::int32_t quality) {
  WriteSettingInt("jpeg", quality);
}

bool ReadRobustSign() {
  return ReadSettingInt("Robust Sign", 0) != 0;
}

void WriteRobustSign(bool robust) {
  WriteSettingInt("Robust Sign", robust ? 1 : 0);
}

bool ReadWebLayer() {
  return ReadSettingInt("Web Layer", 0) != 0;
}

void WriteWebLayer(bool web_layer) {
  WriteSettingInt("Web Layer", web_layer ? 1 : 0);
}

QString ReadLatestFolder() {
  return ReadSetting("Latest Folder", "");
}

void WriteLatestFolder(const QString& folder) {
  WriteSetting("Latest Folder", folder);
}

void WriteUseCores(std::uint8_t cores) {
  WriteSettingInt("Use Cores", cores);
}

void WriteGoRecursively(bool recursive) {
  WriteSettingInt("Go Recursivelly", recursive ? 1 : 0);
}

void WriteCrashedLastTime(int value) {
  WriteSettingInt("Crashed Last Time", value);
}

void WriteLanguageCurrent(const QString& plugin_folder, std::int32_t index) {
  platform::WriteProfileInt(LanguageFile(plugin_folder), kGeneral, "Language Current", index);
}

QString ShortenerUrl() {
  QString base = ReadSetting("Shortener URL", "https://tinyurl.com");
  while (base.endsWith(QLatin1Char('/'))) base.chop(1);
  return base;
}

QString ShortenerUrlFor(const QString& signature) {
  return ShortenerUrl() + QLatin1Char('/') + signature;
}

}  // namespace pmk::ui
