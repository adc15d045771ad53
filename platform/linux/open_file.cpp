#include <cstdio>

#include "platform/utf8_path.h"

namespace pmk::platform {

std::FILE* OpenFile(const std::filesystem::path& file, const char* mode) noexcept {
  return std::fopen(file.c_str(), mode);
}

}  // namespace pmk::platform
