#include "platform/executable_path.h"

#include <system_error>

namespace pmk::platform {

std::filesystem::path ExecutablePath() {
  std::error_code error;
  std::filesystem::path path = std::filesystem::read_symlink("/proc/self/exe", error);
  if (error) return {};
  return path;
}

}  // namespace pmk::platform
