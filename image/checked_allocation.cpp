#include "image/checked_allocation.h"

#include <atomic>
#include <cstdlib>

#include "platform/huge_pages.h"

namespace pmk {
namespace {
std::atomic<std::int64_t> allocations_since_arming{0};
std::atomic<std::int64_t> failing_allocation{0};
std::atomic<bool> failure_triggered{false};

// Pictures and the engine's planes are large, written whole and soon
// released: in 4 KiB pages one signing of a 12-megapixel photograph takes
// some 200 000 page faults, most of its system time. Where the kernel gives
// huge pages only to memory that asks for them, the 2 MiB-aligned inside of
// every large block asks. A hint: refused, it costs nothing.
void AskForHugePages(void* block, std::size_t bytes) noexcept {
  if (bytes >= kLargeBlockBytes) platform::AdviseHugePages(block, bytes);
}

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
  void* block = std::malloc(bytes == 0 ? 1 : bytes);
  if (block != nullptr) AskForHugePages(block, bytes);
  return block;
}

void Deallocate(void* block) noexcept {
  std::free(block);
}

void ArmAllocationFailure(std::int64_t n) noexcept {
  failure_triggered.store(false);
  allocations_since_arming.store(0);
  failing_allocation.store(n);
}

std::int64_t AllocationCount() noexcept {
  return allocations_since_arming.load();
}

bool AllocationFailureTriggered() noexcept {
  return failure_triggered.load();
}

}  // namespace pmk
