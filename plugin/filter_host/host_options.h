// The command line of PictomarkerHost.
#pragma once

#include <filesystem>
#include <optional>
#include <span>
#include <string>

namespace pmk::plugin {

inline constexpr const char* kHostUsage =
    "usage: PictomarkerHost PICTURE [-o OUT] [--repeat] [--about] [--log FILE] [--plugin "
    "LIBRARY]\n";

struct HostOptions {
  std::filesystem::path picture;
  std::filesystem::path output;  // empty: beside the picture, "-signed" before the extension
  std::filesystem::path log;
  std::filesystem::path library;  // empty: the installed plug-in
  bool repeat = false;
  bool about = false;
};

// `arguments` are UTF-8, the program's name first. Nothing when the command
// line is not understood.
std::optional<HostOptions> ParseHostOptions(std::span<const std::string> arguments);

// "photo.jpg" gives "photo-signed.jpg" in the same folder.
std::filesystem::path DefaultOutputFor(const std::filesystem::path& picture);

// The registry file in the user's configuration folder (on Windows the
// roaming application-data folder).
std::filesystem::path RegistryFile();

}  // namespace pmk::plugin
