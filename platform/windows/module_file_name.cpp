#include "platform/windows/module_file_name.h"

#include <string>

namespace pmk::platform {

std::filesystem::path ModuleFileName(HMODULE module) {
  // Long-path installs exceed MAX_PATH; the call cuts the name short and
  // says so by filling the whole buffer.
  constexpr DWORD kLongestPath = 32768;
  for (DWORD capacity = MAX_PATH; capacity <= kLongestPath; capacity *= 2) {
    std::wstring name(capacity, L'\0');
    const DWORD length = GetModuleFileNameW(module, name.data(), capacity);
    if (length == 0) return {};
    if (length < capacity) {
      name.resize(length);
      return std::filesystem::path(name);
    }
  }
  return {};
}

}  // namespace pmk::platform
