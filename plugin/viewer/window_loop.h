// The viewer's modal window loop, run by Start while the host waits.
#pragma once

#include <cstdint>

#include "image/image_record.h"

namespace pmk::plugin {

// Runs the viewer over picture (8-bit, 3 or 4 channels, blue-green-red[-alpha]) until the user
// closes it; the picture is changed in place. The window is owned by the host's native window
// `host_window` (0: none). Returns 0, or -128 when the window cannot be created.
int RunWindowLoop(ImageRecord& picture, std::intptr_t host_window);

// Test seam, compiled only into the test build (CMake option PMK_TEST_SEAMS): when this environment
// variable is "fail" the window cannot be created (-128); when it is "clear-blue" the window closes
// at once after setting the blue samples (channel 0) to 0, so that tests can tell a picture that
// came back, and in which channel order, from one that never left; "close" opens the window and
// closes it at once; "sign:TEXT" signs the picture with the signature TEXT through the viewer's
// sign command (its dialogs answered at once) and closes. Unset or empty, the
// window waits for the user.
inline constexpr const char* kWindowLoopTestVariable = "PMK_WINDOW_LOOP_TEST";

}  // namespace pmk::plugin
