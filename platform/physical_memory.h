// How much memory the machine has, and how much of it this process may use.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>

namespace pmk::platform {

// The machine's physical memory in bytes, or 0 when the system does not say.
std::uint64_t PhysicalMemoryBytes() noexcept;

// The memory this process may use: the machine's physical memory, or the
// memory limit of the process's control group where that is lower (a
// container's limit); 0 when neither is known.
std::uint64_t UsableMemoryBytes() noexcept;

// The lowest memory limit of the process's control group and its ancestors,
// cgroup v2 ("memory.max") or v1 ("memory.limit_in_bytes"), read from the
// files below `root` ("/" in use; tests pass a folder standing in for it).
// Nothing when no limit is set or none can be read.
std::optional<std::uint64_t> ControlGroupMemoryLimit(const std::filesystem::path& root) noexcept;

}  // namespace pmk::platform
