#include "platform/folder_search.h"

#include <algorithm>
#include <memory>

#include "platform/windows/wide_text.h"
#include "platform/windows/windows_api.h"

namespace pmk::platform {
namespace {

struct FindCloser {
  void operator()(HANDLE search) const { FindClose(search); }
};

// Junctions and symbolic links to folders are reparse points: never taken
// for folders, so that a walk down the tree cannot run in circles.
bool IsRealFolder(const WIN32_FIND_DATAW& found) {
  return (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0 &&
         (found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0;
}

bool IsFolder(const std::filesystem::path& path) {
  const DWORD attributes = GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

}  // namespace

std::optional<std::vector<FolderEntry>> ListFolder(const std::filesystem::path& folder) {
  if (folder.empty()) return std::nullopt;
  WIN32_FIND_DATAW found{};
  HANDLE first = FindFirstFileW((folder / L"*").c_str(), &found);
  if (first == INVALID_HANDLE_VALUE) {
    // An empty drive root has not even "." to find.
    if (GetLastError() == ERROR_FILE_NOT_FOUND && IsFolder(folder)) {
      return std::vector<FolderEntry>();
    }
    return std::nullopt;
  }
  std::unique_ptr<void, FindCloser> search(first);
  std::vector<FolderEntry> entries;
  do {
    const std::wstring_view name(found.cFileName);
    if (name == L"." || name == L"..") continue;
    entries.push_back({Utf8FromWide(name), IsRealFolder(found)});
  } while (FindNextFileW(search.get(), &found));
  std::sort(entries.begin(), entries.end(),
            [](const FolderEntry& a, const FolderEntry& b) { return a.name < b.name; });
  return entries;
}

// Windows has no mode bits; a folder below the user's profile inherits the
// profile's access rules, which keep other users out.
bool EnsureFolder(const std::filesystem::path& folder, unsigned /*mode*/) noexcept {
  CreateDirectoryW(folder.c_str(), nullptr);
  // Whatever the creation said (already there, a drive such as "C:" that
  // cannot be created), a folder there now is all that counts.
  return IsFolder(folder);
}

}  // namespace pmk::platform
