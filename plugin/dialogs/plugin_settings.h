// The plug-in's remembered choices: the per-user settings file
// (<config folder>/PMKPhotoshopPlugIn/PMKPhotoshopPlugIn.txt, section
// "General") and the language list of the language file beside the plug-in.
// Failures to create the folder or to write either file are ignored; the
// values in memory stay in force for the run.
#pragma once

#include <QString>
#include <QStringList>
#include <cstdint>
#include <filesystem>

namespace pmk::ui {

struct PluginSettings {
  std::int32_t language_count = 0;    // "Languages No" as read (before the cap)
  std::int32_t language_current = 0;  // "Language Current"
  QStringList language_names;         // "Language" of sections 0 ... at most 99
  bool recursive = true;              // "Go Recursivelly": batch jobs descend
  std::int32_t jpeg_quality = 90;     // "jpeg", 20 ... 100
  bool robust_sign = false;           // "Robust Sign": sign with larger regions
  bool web_layer = false;             // "Web Layer": also sign the web layer
  std::uint8_t cores_in_use = 1;      // "Use Cores", 1 ... processor_count
  std::uint8_t processor_count = 0;   // 0 until computed (ViewerProcessorCount)
  std::uint8_t crash_mark = 0;        // nonzero: the last run did not end in order
};

// The one instance that the viewer and the dialogs share.
PluginSettings& CurrentSettings();

// Processors the options offer: the affinity mask's highest processor, at most 24.
std::uint8_t ViewerProcessorCount();

// The settings file; its folder is created (an existing one is fine).
std::filesystem::path SettingsFilePath();

// Reads the language list from "<plugin_folder>/Pictomarker_loc.ini" and the
// settings file into `settings`, then sets "Crashed Last Time" to 1 in the file.
// Computes processor_count first when it is 0.
void LoadSettingsAndLanguageList(PluginSettings& settings, const QString& plugin_folder);

// Loads the language table of settings.language_current.
void LoadLanguageTableFor(const PluginSettings& settings, const QString& plugin_folder);

// Single keys of the settings file.
QString ReadLatestSign();
void WriteLatestSign(const QString& sign);
// "jpeg" with its rule: below 20 reads as 90.
std::int32_t ReadJpegQuality();
void WriteJpegQuality(std::int32_t quality);
// "Robust Sign": nonzero signs with larger regions (default 0).
bool ReadRobustSign();
void WriteRobustSign(bool robust);
// "Web Layer": nonzero adds the resize-proof web layer when signing (default 0).
bool ReadWebLayer();
void WriteWebLayer(bool web_layer);
QString ReadLatestFolder();
void WriteLatestFolder(const QString& folder);
void WriteUseCores(std::uint8_t cores);
void WriteGoRecursively(bool recursive);
void WriteCrashedLastTime(int value);
// "Language Current" in the language file's "General" section.
void WriteLanguageCurrent(const QString& plugin_folder, std::int32_t index);

// The URL-shortening service's base address ("Shortener URL", default
// https://tinyurl.com), without a trailing "/".
QString ShortenerUrl();
// The service's address for one signature: base address, "/" and the text.
QString ShortenerUrlFor(const QString& signature);

}  // namespace pmk::ui
