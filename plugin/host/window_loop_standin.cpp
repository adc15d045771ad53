// Stand-in for the viewer until it exists: the window closes at once and the
// picture goes back unchanged.
#include <cstdlib>
#include <string_view>

#include "plugin/host/window_loop.h"

namespace pmk::plugin {

int RunWindowLoop(ImageRecord& picture) {
  const char* test = std::getenv(kWindowLoopTestVariable);
  const std::string_view mode = test == nullptr ? "" : test;
  if (mode == "fail") return -128;
  if (mode == "clear-blue" && picture.HasData()) {
    for (int y = 0; y < picture.height(); ++y) {
      std::uint8_t* row = picture.Row<std::uint8_t>(y);
      for (int x = 0; x < picture.width(); ++x) row[x * picture.channels()] = 0;
    }
  }
  return 0;
}

}  // namespace pmk::plugin
