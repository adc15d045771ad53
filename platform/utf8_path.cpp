#include "platform/utf8_path.h"

namespace pmk::platform {

std::filesystem::path PathFromUtf8(std::string_view text) {
  // char8_t text is read as UTF-8 whatever the process's code page is.
  const std::u8string units(text.begin(), text.end());
  return std::filesystem::path(units);
}

std::string Utf8FromPath(const std::filesystem::path& path) {
  const std::u8string units = path.u8string();
  return std::string(units.begin(), units.end());
}

std::size_t Utf16Length(std::string_view text) noexcept {
  std::size_t units = 0;
  std::size_t i = 0;
  while (i < text.size()) {
    const auto lead = static_cast<unsigned char>(text[i]);
    std::size_t length = 1;
    if (lead >= 0xF0 && lead <= 0xF4) {
      length = 4;
    } else if (lead >= 0xE0) {
      length = 3;
    } else if (lead >= 0xC2) {
      length = 2;
    }
    if (lead >= 0xF5 || i + length > text.size()) length = 1;
    for (std::size_t k = 1; k < length; ++k) {
      if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80) length = 1;
    }
    // Only code points above U+FFFF, the four-byte ones, need a pair.
    units += length == 4 ? 2 : 1;
    i += length;
  }
  return units;
}

std::size_t NativeNameLength(std::string_view name) noexcept {
#ifdef _WIN32
  return Utf16Length(name);
#else
  return name.size();
#endif
}

}  // namespace pmk::platform
