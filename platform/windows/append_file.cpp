#include "platform/append_file.h"

#include <algorithm>

#include "platform/windows/system_message.h"
#include "platform/windows/windows_api.h"

namespace pmk::platform {
namespace {

HANDLE Handle(std::intptr_t handle) {
  return reinterpret_cast<HANDLE>(handle);
}

}  // namespace

std::string AppendFile::Open(const std::filesystem::path& file) {
  Close();
  // Append access alone makes every write go to the end as one step; the
  // sharing lets other runs and readers open the same log meanwhile.
  HANDLE opened = CreateFileW(file.c_str(), FILE_APPEND_DATA,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (opened == INVALID_HANDLE_VALUE) return SystemMessage(GetLastError());
  handle_ = reinterpret_cast<std::intptr_t>(opened);
  return {};
}

std::string AppendFile::Append(std::string_view text) {
  while (!text.empty()) {
    const DWORD size = static_cast<DWORD>(std::min<std::size_t>(text.size(), 1u << 30));
    DWORD written = 0;
    if (!WriteFile(Handle(handle_), text.data(), size, &written, nullptr)) {
      return SystemMessage(GetLastError());
    }
    if (written == 0) return "nothing was written";
    text.remove_prefix(written);
  }
  return {};
}

void AppendFile::Close() noexcept {
  if (handle_ != kClosed) CloseHandle(Handle(handle_));
  handle_ = kClosed;
}

}  // namespace pmk::platform
