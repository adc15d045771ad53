#include "image/checked_allocation.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace pmk {
namespace {

#if defined(__linux__)
// Large blocks are written whole: in huge pages they take a fraction of the
// page faults. The kernel marks a mapping that asked with "hg".
TEST(CheckedAllocationTest, LargeBlocksAskForHugePages) {
  if (!std::filesystem::exists("/sys/kernel/mm/transparent_hugepage/enabled")) {
    GTEST_SKIP() << "this kernel offers no transparent huge pages";
  }
  HeapArray<std::uint8_t> block;
  ASSERT_TRUE(block.Allocate(2 * kLargeBlockBytes));
  const auto middle = reinterpret_cast<std::uintptr_t>(block.data() + block.size() / 2);
  std::ifstream smaps("/proc/self/smaps");
  bool inside = false;
  std::string flags;
  for (std::string line; flags.empty() && std::getline(smaps, line);) {
    std::uintptr_t start = 0, end = 0;
    char dash = 0;
    if (std::istringstream(line) >> std::hex >> start >> dash >> end && dash == '-') {
      inside = middle >= start && middle < end;
    } else if (inside && line.rfind("VmFlags:", 0) == 0) {
      flags = line + " ";
    }
  }
  EXPECT_NE(flags.find(" hg "), std::string::npos) << flags;
}
#endif

}  // namespace
}  // namespace pmk
