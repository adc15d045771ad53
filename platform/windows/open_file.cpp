#include <cstdio>
#include <cwchar>

#include "platform/utf8_path.h"

namespace pmk::platform {

std::FILE* OpenFile(const std::filesystem::path& file, const char* mode) noexcept {
  // Modes are short ASCII ("rb", "wb", "a+"); a longer one is malformed.
  wchar_t wide_mode[16] = {};
  for (std::size_t i = 0; mode[i] != '\0'; ++i) {
    if (i + 1 >= std::size(wide_mode)) return nullptr;
    wide_mode[i] = static_cast<wchar_t>(static_cast<unsigned char>(mode[i]));
  }
  return _wfopen(file.c_str(), wide_mode);
}

}  // namespace pmk::platform
