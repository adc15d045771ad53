// How much memory the machine has.
#pragma once

#include <cstdint>

namespace pmk::platform {

// The machine's physical memory in bytes, or 0 when the system does not say.
std::uint64_t PhysicalMemoryBytes() noexcept;

}  // namespace pmk::platform
