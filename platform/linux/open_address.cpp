#include "platform/open_address.h"

#include <thread>

#include "platform/run_program.h"

namespace pmk::platform {

bool OpenAddress(const std::string& url) noexcept {
  try {
    // Some browsers keep xdg-open waiting until they end; the caller must
    // not. The address reaches xdg-open as one argument ("$1"), so the shell
    // never parses it.
    std::thread([url] {
      RunProgramAndWait("/bin/sh", {"-c", "exec xdg-open \"$1\"", "sh", url});
    }).detach();
    return true;
  } catch (...) {
    return false;
  }
}

}  // namespace pmk::platform
