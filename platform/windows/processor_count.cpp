#include "platform/processor_count.h"

#include "platform/windows/windows_api.h"

namespace pmk::platform {

int ProcessorCount() noexcept {
  DWORD_PTR process_mask = 0;
  DWORD_PTR system_mask = 0;
  if (GetProcessAffinityMask(GetCurrentProcess(), &process_mask, &system_mask) &&
      process_mask != 0) {
    int highest = 0;
    for (int cpu = 0; cpu < static_cast<int>(sizeof(DWORD_PTR) * 8); ++cpu) {
      if ((process_mask >> cpu) & 1) highest = cpu + 1;
    }
    return highest;
  }
  const DWORD active = GetActiveProcessorCount(ALL_PROCESSOR_GROUPS);
  return active > 0 ? static_cast<int>(active) : 1;
}

}  // namespace pmk::platform
