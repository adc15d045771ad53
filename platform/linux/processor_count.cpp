#include "platform/processor_count.h"

#include <sched.h>

namespace pmk::platform {

int ProcessorCount() noexcept {
  cpu_set_t mask;
  CPU_ZERO(&mask);
  if (sched_getaffinity(0, sizeof(mask), &mask) != 0) return 1;
  int highest = 0;
  for (int cpu = 0; cpu < CPU_SETSIZE; ++cpu) {
    if (CPU_ISSET(cpu, &mask)) highest = cpu + 1;
  }
  return highest > 0 ? highest : 1;
}

}  // namespace pmk::platform
