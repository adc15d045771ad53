// A millisecond tick count, as the system's clock-based seeds expect.
#pragma once

#include <cstdint>

namespace pmk::platform {

// Milliseconds of a monotonic clock, low 32 bits (wraps after about 49.7 days).
std::uint32_t TickCountMilliseconds() noexcept;

}  // namespace pmk::platform
