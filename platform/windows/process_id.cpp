#include "platform/process_id.h"

#include "platform/windows/windows_api.h"

namespace pmk::platform {

unsigned long ProcessId() noexcept {
  return GetCurrentProcessId();
}

}  // namespace pmk::platform
