#include "platform/loadable_library.h"

#include "platform/utf8_path.h"
#include "platform/windows/system_message.h"
#include "platform/windows/windows_api.h"

namespace pmk::platform {
namespace {

HMODULE Module(void* handle) {
  return static_cast<HMODULE>(handle);
}

}  // namespace

void LoadableLibrary::Close() noexcept {
  if (handle_ != nullptr) FreeLibrary(Module(handle_));
  handle_ = nullptr;
}

std::optional<std::string> LoadableLibrary::Open(const std::filesystem::path& file) {
  Close();
  // With a full name, the libraries the plug-in itself needs are looked for
  // in its own folder first, as the editor loads plug-ins.
  const DWORD flags = file.is_absolute() ? LOAD_WITH_ALTERED_SEARCH_PATH : 0;
  // No "insert the disk" box when the name points at an empty drive.
  const UINT previous = SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
  handle_ = LoadLibraryExW(file.c_str(), nullptr, flags);
  const DWORD error = GetLastError();
  SetErrorMode(previous);
  if (handle_ != nullptr) return std::nullopt;
  return SystemMessage(error);
}

void* LoadableLibrary::Symbol(const char* name) const noexcept {
  if (handle_ == nullptr) return nullptr;
  return reinterpret_cast<void*>(GetProcAddress(Module(handle_), name));
}

std::optional<std::vector<std::uint8_t>> LoadableLibrary::Resource(std::string_view type,
                                                                   int id) const {
  if (handle_ == nullptr) return std::nullopt;
  const std::wstring wide_type(type.begin(), type.end());
  HRSRC found = FindResourceW(Module(handle_), MAKEINTRESOURCEW(id), wide_type.c_str());
  if (found == nullptr) return std::nullopt;
  HGLOBAL loaded = LoadResource(Module(handle_), found);
  const DWORD size = SizeofResource(Module(handle_), found);
  const auto* bytes =
      loaded != nullptr ? static_cast<const std::uint8_t*>(LockResource(loaded)) : nullptr;
  if (bytes == nullptr) return std::nullopt;
  // A copy: the resource's memory goes away with the library.
  return std::vector<std::uint8_t>(bytes, bytes + size);
}

}  // namespace pmk::platform
