#include "platform/loadable_library.h"

#include <dlfcn.h>

namespace pmk::platform {

void LoadableLibrary::Close() noexcept {
  if (handle_ != nullptr) dlclose(handle_);
  handle_ = nullptr;
}

std::optional<std::string> LoadableLibrary::Open(const std::filesystem::path& file) {
  Close();
  // Local symbols: two plug-ins, or a plug-in and the host, never bind to
  // each other's functions of the same name.
  handle_ = dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (handle_ != nullptr) return std::nullopt;
  const char* why = dlerror();
  return std::string(why != nullptr ? why : "the library could not be loaded");
}

void* LoadableLibrary::Symbol(const char* name) const noexcept {
  return handle_ != nullptr ? dlsym(handle_, name) : nullptr;
}

std::optional<std::vector<std::uint8_t>> LoadableLibrary::Resource(std::string_view, int) const {
  return std::nullopt;
}

}  // namespace pmk::platform
