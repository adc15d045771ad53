#include "platform/open_address.h"

#include "platform/windows/wide_text.h"
#include "platform/windows/windows_api.h"

// After windows.h, whose types it uses.
#include <shellapi.h>

namespace pmk::platform {

bool OpenAddress(const std::string& url) noexcept {
  try {
    const std::wstring wide = WideFromUtf8(url);
    // The shell returns at once; values above 32 mean it took the address.
    const auto result = reinterpret_cast<INT_PTR>(
        ShellExecuteW(nullptr, L"open", wide.c_str(), nullptr, nullptr, SW_SHOWNORMAL));
    return result > 32;
  } catch (...) {
    return false;
  }
}

}  // namespace pmk::platform
