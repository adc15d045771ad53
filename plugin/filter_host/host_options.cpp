#include "plugin/filter_host/host_options.h"

#include <string_view>

#include "platform/user_folders.h"
#include "platform/utf8_path.h"

namespace pmk::plugin {

std::optional<HostOptions> ParseHostOptions(std::span<const std::string> arguments) {
  using platform::PathFromUtf8;
  HostOptions options;
  const std::size_t count = arguments.size();
  for (std::size_t i = 1; i < count; ++i) {
    const std::string_view arg = arguments[i];
    const bool has_value = i + 1 < count;
    if (arg == "-o" && has_value) {
      options.output = PathFromUtf8(arguments[++i]);
    } else if (arg == "--log" && has_value) {
      options.log = PathFromUtf8(arguments[++i]);
    } else if (arg == "--plugin" && has_value) {
      options.library = PathFromUtf8(arguments[++i]);
    } else if (arg == "--repeat") {
      options.repeat = true;
    } else if (arg == "--about") {
      options.about = true;
    } else if (!arg.empty() && arg[0] != '-' && options.picture.empty()) {
      options.picture = PathFromUtf8(arg);
    } else {
      return std::nullopt;
    }
  }
  if (options.picture.empty() && !options.about) return std::nullopt;
  return options;
}

std::filesystem::path DefaultOutputFor(const std::filesystem::path& picture) {
  std::filesystem::path name = picture.stem();
  name += "-signed";
  name += picture.extension();
  std::filesystem::path output = picture;
  output.replace_filename(name);
  return output;
}

std::filesystem::path RegistryFile() {
  const std::filesystem::path folder = platform::ConfigFolder();
  if (folder.empty()) return {};
  return folder / "Pictomarker" / "PictomarkerHost-registry.json";
}

}  // namespace pmk::plugin
