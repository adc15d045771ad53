#include "plugin/filter_host/host_options.h"

#include <cstdlib>
#include <string_view>

namespace pmk::plugin {

std::optional<HostOptions> ParseHostOptions(int argc, char** argv) {
  HostOptions options;
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    const bool has_value = i + 1 < argc;
    if (arg == "-o" && has_value) {
      options.output = argv[++i];
    } else if (arg == "--log" && has_value) {
      options.log = argv[++i];
    } else if (arg == "--plugin" && has_value) {
      options.library = argv[++i];
    } else if (arg == "--repeat") {
      options.repeat = true;
    } else if (arg == "--about") {
      options.about = true;
    } else if (!arg.empty() && arg[0] != '-' && options.picture.empty()) {
      options.picture = argv[i];
    } else {
      return std::nullopt;
    }
  }
  if (options.picture.empty() && !options.about) return std::nullopt;
  return options;
}

std::filesystem::path DefaultOutputFor(const std::filesystem::path& picture) {
  std::filesystem::path output = picture;
  output.replace_filename(picture.stem().string() + "-signed" + picture.extension().string());
  return output;
}

std::filesystem::path RegistryFile() {
  std::filesystem::path folder;
  if (const char* config = std::getenv("XDG_CONFIG_HOME"); config != nullptr && *config != 0) {
    folder = config;
  } else if (const char* home = std::getenv("HOME"); home != nullptr && *home != 0) {
    folder = std::filesystem::path(home) / ".config";
  } else {
    return {};
  }
  return folder / "Pictomarker" / "PictomarkerHost-registry.json";
}

}  // namespace pmk::plugin
