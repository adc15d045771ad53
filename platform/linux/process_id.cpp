#include "platform/process_id.h"

#include <unistd.h>

namespace pmk::platform {

unsigned long ProcessId() noexcept {
  return static_cast<unsigned long>(getpid());
}

}  // namespace pmk::platform
