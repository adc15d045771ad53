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
  if (mode == "invert" && picture.HasData()) {
    for (int y = 0; y < picture.height(); ++y) {
      std::uint8_t* row = picture.Row<std::uint8_t>(y);
      for (int x = 0; x < picture.width(); ++x) {
        for (int c = 0; c < 3; ++c) row[x * picture.channels() + c] ^= 0xFF;
      }
    }
  }
  return 0;
}

}  // namespace pmk::plugin
