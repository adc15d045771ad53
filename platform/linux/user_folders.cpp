#include "platform/user_folders.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <vector>

namespace pmk::platform {
namespace {

std::filesystem::path HomeFolder() {
  if (const char* home = std::getenv("HOME"); home != nullptr && *home != '\0') return home;
  std::vector<char> buffer(16384);
  passwd entry{};
  passwd* found = nullptr;
  if (getpwuid_r(getuid(), &entry, buffer.data(), buffer.size(), &found) == 0 && found != nullptr &&
      found->pw_dir != nullptr) {
    return found->pw_dir;
  }
  return {};
}

// Relative values are ignored, as the XDG base-directory rules ask.
std::filesystem::path FolderFromEnvironment(const char* variable, const char* below_home) {
  if (const char* value = std::getenv(variable); value != nullptr && value[0] == '/') return value;
  return HomeFolder() / below_home;
}

}  // namespace

std::filesystem::path ConfigFolder() {
  return FolderFromEnvironment("XDG_CONFIG_HOME", ".config");
}

std::filesystem::path CacheFolder() {
  return FolderFromEnvironment("XDG_CACHE_HOME", ".cache");
}

}  // namespace pmk::platform
