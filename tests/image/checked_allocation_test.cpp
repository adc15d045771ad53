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
// The kernel's flags of the mapping that holds `address` ("rd wr mr mw me
// ac hg ..."), as /proc/self/smaps lists them; empty when none holds it.
std::string MappingFlags(const void* address) {
  const auto wanted = reinterpret_cast<std::uintptr_t>(address);
  std::ifstream smaps("/proc/self/smaps");
  std::string line;
  bool inside = false;
  while (std::getline(smaps, line)) {
    std::uintptr_t start = 0;
    std::uintptr_t end = 0;
    char dash = 0;
    std::istringstream range(line);
    if (range >> std::hex >> start >> dash >> end && dash == '-') {
      inside = wanted >= start && wanted < end;
    } else if (inside && line.rfind("VmFlags:", 0) == 0) {
      return line.substr(8) + " ";
    }
  }
  return "";
}

// Large blocks are written whole; in huge pages they cost a fraction of the
// page faults.
TEST(CheckedAllocationTest, LargeBlocksAskForHugePages) {
  if (!std::filesystem::exists("/sys/kernel/mm/transparent_hugepage/enabled")) {
    GTEST_SKIP() << "this kernel offers no transparent huge pages";
  }
  HeapArray<std::uint8_t> block;
  ASSERT_TRUE(block.Allocate(2 * kLargeBlockBytes));
  const std::string flags = MappingFlags(block.data() + block.size() / 2);
  ASSERT_FALSE(flags.empty());
  EXPECT_NE(flags.find(" hg "), std::string::npos) << flags;
}
#endif

}  // namespace
}  // namespace pmk
