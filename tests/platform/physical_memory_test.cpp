#include "platform/physical_memory.h"

#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <string>

#include "support/temp_folder.h"

namespace pmk::platform {
namespace {

using Files = std::map<std::string, std::string>;

// A stand-in for "/" holding only the files given.
std::optional<std::uint64_t> LimitWith(const Files& files) {
  const testing::TempFolder root;
  for (const auto& [name, text] : files) {
    const std::filesystem::path file = root.path() / name;
    std::filesystem::create_directories(file.parent_path());
    std::ofstream(file) << text << "\n";
  }
  return ControlGroupMemoryLimit(root.path());
}

constexpr std::uint64_t kGiB = std::uint64_t{1} << 30;

TEST(ControlGroupMemoryLimitTest, TheLowestLimitOnTheGroupsPathCounts) {
  struct Case {
    const char* what;
    Files files;
    std::optional<std::uint64_t> expected;
  } const cases[] = {
      {"v2, a parent's limit",
       {{"proc/self/cgroup", "0::/a/b"},
        {"sys/fs/cgroup/memory.max", "max"},
        {"sys/fs/cgroup/a/memory.max", "2147483648"},
        {"sys/fs/cgroup/a/b/memory.max", "max"}},
       2 * kGiB},
      {"v2, no limit anywhere",
       {{"proc/self/cgroup", "0::/"}, {"sys/fs/cgroup/memory.max", "max"}},
       std::nullopt},
      {"v1, the group's limit below an unlimited root",
       {{"proc/self/cgroup", "5:cpu,memory:/job\n4:pids:/"},
        {"sys/fs/cgroup/memory/memory.limit_in_bytes", "9223372036854771712"},
        {"sys/fs/cgroup/memory/job/memory.limit_in_bytes", "1073741824"}},
       kGiB},
      {"v1 and v2 side by side",
       {{"proc/self/cgroup", "4:memory:/\n0::/c"},
        {"sys/fs/cgroup/memory/memory.limit_in_bytes", "3221225472"},
        {"sys/fs/cgroup/c/memory.max", "4294967296"}},
       3 * kGiB},
      {"a limit that does not read as a number",
       {{"proc/self/cgroup", "0::/"}, {"sys/fs/cgroup/memory.max", "12abc"}},
       std::nullopt},
      {"no control groups at all", {}, std::nullopt},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(LimitWith(c.files), c.expected);
  }
}

TEST(ControlGroupMemoryLimitTest, UsableMemoryNeverExceedsTheMachines) {
  const std::uint64_t physical = PhysicalMemoryBytes();
  ASSERT_GT(physical, 0u);
  EXPECT_GT(UsableMemoryBytes(), 0u);
  EXPECT_LE(UsableMemoryBytes(), physical);
}

}  // namespace
}  // namespace pmk::platform
