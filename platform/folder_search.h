// Looking through the entries of one folder.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace pmk::platform {

struct FolderEntry {
  std::string name;
  // A real folder. A symbolic link is never taken for one, so that a walk
  // down the tree cannot run in circles.
  bool is_folder = false;
};

// The entries of `folder` except "." and "..", sorted by name so that every
// walk visits them in the same order; empty when the folder cannot be read.
std::optional<std::vector<FolderEntry>> ListFolder(const std::filesystem::path& folder);

// Creates `folder` (one level) with `mode` when it does not exist yet. True
// when a folder (not a file) is there afterwards.
bool EnsureFolder(const std::filesystem::path& folder, unsigned mode) noexcept;

}  // namespace pmk::platform
