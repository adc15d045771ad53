// Control-group limits are read from plain files, so this compiles and runs
// everywhere; only Linux has them under "/".
#include <algorithm>
#include <charconv>
#include <fstream>
#include <sstream>
#include <string>
#include <string_view>

#include "platform/physical_memory.h"

namespace pmk::platform {
namespace {

// Limits at or above this mean "no limit": v1 reports its largest page-
// aligned value (about 2^63), and nothing real comes near 2^62.
constexpr std::uint64_t kNoLimit = std::uint64_t{1} << 62;

std::optional<std::string> ReadFirstLine(const std::filesystem::path& file) {
  std::ifstream in(file);
  std::string line;
  if (!in || !std::getline(in, line)) return std::nullopt;
  return line;
}

std::optional<std::uint64_t> LimitIn(const std::filesystem::path& file) {
  const std::optional<std::string> line = ReadFirstLine(file);
  if (!line) return std::nullopt;
  std::uint64_t value = 0;
  const char* end = line->data() + line->size();
  const auto [at, error] = std::from_chars(line->data(), end, value);
  // "max" (v2) and anything unreadable read as no limit.
  if (error != std::errc() || at != end || value >= kNoLimit) return std::nullopt;
  return value;
}

void KeepLower(std::optional<std::uint64_t>& lowest, std::optional<std::uint64_t> limit) {
  if (limit && (!lowest || *limit < *lowest)) lowest = limit;
}

// The group's own folder and every ancestor's up to the hierarchy's root,
// whose limits all apply to the process.
void KeepLowestAlongPath(std::optional<std::uint64_t>& lowest,
                         const std::filesystem::path& hierarchy, std::string_view group,
                         const char* limit_file) {
  std::filesystem::path folder = hierarchy;
  KeepLower(lowest, LimitIn(folder / limit_file));
  std::stringstream parts{std::string(group)};
  std::string part;
  while (std::getline(parts, part, '/')) {
    if (part.empty() || part == "." || part == "..") continue;
    folder /= part;
    KeepLower(lowest, LimitIn(folder / limit_file));
  }
}

}  // namespace

std::optional<std::uint64_t> ControlGroupMemoryLimit(const std::filesystem::path& root) noexcept {
  try {
    std::ifstream groups(root / "proc/self/cgroup");
    std::optional<std::uint64_t> lowest;
    std::string line;
    // Lines are "id:controllers:path"; v2's unified hierarchy has id 0 and
    // no controllers.
    while (std::getline(groups, line)) {
      const std::size_t first = line.find(':');
      const std::size_t second = first == std::string::npos ? first : line.find(':', first + 1);
      if (second == std::string::npos) continue;
      const std::string controllers = line.substr(first + 1, second - first - 1);
      const std::string group = line.substr(second + 1);
      if (controllers.empty()) {
        KeepLowestAlongPath(lowest, root / "sys/fs/cgroup", group, "memory.max");
        continue;
      }
      std::stringstream names(controllers);
      std::string name;
      while (std::getline(names, name, ',')) {
        if (name == "memory") {
          KeepLowestAlongPath(lowest, root / "sys/fs/cgroup/memory", group,
                              "memory.limit_in_bytes");
        }
      }
    }
    return lowest;
  } catch (...) {
    // An allocation failure while reading leaves the machine's memory as the
    // only bound.
    return std::nullopt;
  }
}

}  // namespace pmk::platform
