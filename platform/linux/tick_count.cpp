#include "platform/tick_count.h"

#include <chrono>

namespace pmk::platform {

std::uint32_t TickCountMilliseconds() noexcept {
  const auto since_start = std::chrono::steady_clock::now().time_since_epoch();
  const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(since_start).count();
  return static_cast<std::uint32_t>(static_cast<std::uint64_t>(ms));
}

}  // namespace pmk::platform
