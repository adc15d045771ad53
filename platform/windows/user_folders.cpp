#include "platform/user_folders.h"

#include <string>

#include "platform/windows/windows_api.h"
// After <windows.h>, which these need.
#include <knownfolders.h>
#include <shlobj.h>

namespace pmk::platform {
namespace {

std::filesystem::path KnownFolder(REFKNOWNFOLDERID id, const wchar_t* variable) {
  PWSTR found = nullptr;
  const bool known = SUCCEEDED(SHGetKnownFolderPath(id, KF_FLAG_DEFAULT, nullptr, &found));
  std::filesystem::path folder;
  if (known && found != nullptr) folder = found;
  CoTaskMemFree(found);
  if (!folder.empty()) return folder;
  // A service account or a stripped-down system may lack the shell's
  // folders but still set the variable.
  const DWORD size = GetEnvironmentVariableW(variable, nullptr, 0);
  if (size <= 1) return {};
  std::wstring value(size, L'\0');
  const DWORD length = GetEnvironmentVariableW(variable, value.data(), size);
  if (length == 0 || length >= size) return {};
  value.resize(length);
  return value;
}

}  // namespace

// The roaming application-data folder (%APPDATA%): settings follow the user
// from machine to machine.
std::filesystem::path ConfigFolder() {
  return KnownFolder(FOLDERID_RoamingAppData, L"APPDATA");
}

// The local application-data folder (%LOCALAPPDATA%): work files stay on this
// machine.
std::filesystem::path CacheFolder() {
  return KnownFolder(FOLDERID_LocalAppData, L"LOCALAPPDATA");
}

}  // namespace pmk::platform
