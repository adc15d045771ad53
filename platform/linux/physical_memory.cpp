#include "platform/physical_memory.h"

#include <unistd.h>

#include <algorithm>

namespace pmk::platform {

std::uint64_t PhysicalMemoryBytes() noexcept {
  const long pages = sysconf(_SC_PHYS_PAGES);
  const long page_size = sysconf(_SC_PAGE_SIZE);
  if (pages <= 0 || page_size <= 0) return 0;
  return static_cast<std::uint64_t>(pages) * static_cast<std::uint64_t>(page_size);
}

std::uint64_t UsableMemoryBytes() noexcept {
  const std::uint64_t physical = PhysicalMemoryBytes();
  const std::optional<std::uint64_t> limit = ControlGroupMemoryLimit("/");
  if (!limit) return physical;
  return physical == 0 ? *limit : std::min(physical, *limit);
}

}  // namespace pmk::platform
