#include "platform/huge_pages.h"

namespace pmk::platform {

// Windows gives large pages only to processes holding the lock-pages
// privilege, through VirtualAlloc rather than the C heap: no hint to give.
void AdviseHugePages(void*, std::size_t) noexcept {}

}  // namespace pmk::platform
