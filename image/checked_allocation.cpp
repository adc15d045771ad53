#include "image/checked_allocation.h"

#include <atomic>
#include <cstdlib>

namespace pmk {
namespace {
std::atomic<std::int64_t> allocations_since_arming{0};
std::atomic<std::int64_t> failing_allocation{0};
std::atomic<bool> failure_triggered{false};
}  // namespace

void* TryAllocate(std::size_t bytes) noexcept {
  const std::int64_t number = allocations_since_arming.fetch_add(1) + 1;
  const std::int64_t target = failing_allocation.load();
  if (target != 0 && number == target) {
    failure_triggered.store(true);
    return nullptr;
  }
  // malloc(0) may legally return nullptr; ask for one byte so that an empty
  // buffer is never mistaken for a failure.
  return std::malloc(bytes == 0 ? 1 : bytes);
}

void Deallocate(void* block) noexcept { std::free(block); }

void ArmAllocationFailure(std::int64_t n) noexcept {
  failure_triggered.store(false);
  allocations_since_arming.store(0);
  failing_allocation.store(n);
}

std::int64_t AllocationCount() noexcept { return allocations_since_arming.load(); }

bool AllocationFailureTriggered() noexcept { return failure_triggered.load(); }

}  // namespace pmk
