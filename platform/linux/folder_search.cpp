#include "platform/folder_search.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>

namespace pmk::platform {

namespace {

struct DirCloser {
  void operator()(DIR* dir) const { closedir(dir); }
};

bool IsRealFolder(DIR* dir, const dirent& entry) {
  if (entry.d_type == DT_DIR) return true;
  if (entry.d_type != DT_UNKNOWN) return false;
  // Some file systems do not fill in the type.
  struct stat attributes {};
  return fstatat(dirfd(dir), entry.d_name, &attributes, AT_SYMLINK_NOFOLLOW) == 0 &&
         S_ISDIR(attributes.st_mode);
}

}  // namespace

std::optional<std::vector<FolderEntry>> ListFolder(const std::filesystem::path& folder) {
  std::unique_ptr<DIR, DirCloser> dir(opendir(folder.c_str()));
  if (!dir) return std::nullopt;
  std::vector<FolderEntry> entries;
  while (const dirent* entry = readdir(dir.get())) {
    if (std::strcmp(entry->d_name, ".") == 0 || std::strcmp(entry->d_name, "..") == 0) continue;
    entries.push_back({entry->d_name, IsRealFolder(dir.get(), *entry)});
  }
  std::sort(entries.begin(), entries.end(),
            [](const FolderEntry& a, const FolderEntry& b) { return a.name < b.name; });
  return entries;
}

bool EnsureFolder(const std::filesystem::path& folder, unsigned mode) noexcept {
  if (mkdir(folder.c_str(), static_cast<mode_t>(mode)) != 0 && errno != EEXIST) return false;
  struct stat attributes {};
  return stat(folder.c_str(), &attributes) == 0 && S_ISDIR(attributes.st_mode);
}

}  // namespace pmk::platform
