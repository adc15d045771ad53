#include "platform/tick_count.h"

#include "platform/windows/windows_api.h"

namespace pmk::platform {

std::uint32_t TickCountMilliseconds() noexcept {
  return GetTickCount();
}

}  // namespace pmk::platform
