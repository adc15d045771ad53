// Asking the kernel to back a large block with huge pages.
#pragma once

#include <cstddef>

namespace pmk::platform {

// A hint that [block, block + bytes) is large, written whole and soon
// released, so that huge pages would spare most of its page faults. Only the
// 2 MiB-aligned inside of the block is advised; where the system has no such
// hint (or refuses it) nothing happens.
void AdviseHugePages(void* block, std::size_t bytes) noexcept;

}  // namespace pmk::platform
