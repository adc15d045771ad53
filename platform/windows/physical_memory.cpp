#include "platform/physical_memory.h"

#include "platform/windows/windows_api.h"

namespace pmk::platform {

std::uint64_t PhysicalMemoryBytes() noexcept {
  MEMORYSTATUSEX status{};
  status.dwLength = sizeof(status);
  if (!GlobalMemoryStatusEx(&status)) return 0;
  return status.ullTotalPhys;
}

// Windows has no control groups; the machine's memory is the bound.
std::uint64_t UsableMemoryBytes() noexcept {
  return PhysicalMemoryBytes();
}

}  // namespace pmk::platform
