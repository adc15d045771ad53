// The real plug-in library, loaded once per test process, and documents to
// run it over.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "plugin/filter_host/filter_host.h"
#include "plugin/filter_host/plugin_library.h"

namespace pmk::plugin::testing {

inline const std::filesystem::path kPluginLibrary =
    std::filesystem::path(PMK_BINARY_DIR) / "plugin/library/libPictomarkerPS.so";
inline const std::filesystem::path kHostProgram =
    std::filesystem::path(PMK_BINARY_DIR) / "plugin/library/PictomarkerHost";

inline const PluginLibrary& Library() {
  static const auto library = std::make_unique<PluginLibrary>(kPluginLibrary);
  return *library;
}

// Every sample differs from its neighbours; with alpha, the alpha channel
// walks through every value, 0 and 1 included.
inline HostDocument PaintedDocument(int width, int height, int channels) {
  HostDocument document{width, height, channels, {}};
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      for (int c = 0; c < channels; ++c) {
        document.pixels.push_back(static_cast<std::uint8_t>(x * 7 + y * 13 + c * 50));
      }
    }
  }
  return document;
}

inline std::vector<std::string> Matching(const std::vector<std::string>& log,
                                         const std::string& start) {
  std::vector<std::string> lines;
  for (const std::string& line : log) {
    if (line.rfind(start, 0) == 0) lines.push_back(line);
  }
  return lines;
}

}  // namespace pmk::plugin::testing
