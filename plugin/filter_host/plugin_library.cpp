#include "plugin/filter_host/plugin_library.h"

#include <dlfcn.h>

#include "platform/executable_path.h"

namespace pmk::plugin {

PluginLibrary::PluginLibrary(const std::filesystem::path& file) {
  handle_ = dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (handle_ == nullptr) {
    const char* why = dlerror();
    error_ = "cannot load " + file.string() + (why != nullptr ? std::string(": ") + why : "");
    return;
  }
  const auto* bytes = static_cast<const std::uint8_t*>(dlsym(handle_, kPropertyListSymbol));
  const auto* size = static_cast<const std::uint32_t*>(dlsym(handle_, kPropertyListSizeSymbol));
  if (bytes != nullptr && size != nullptr) properties_ = ReadPropertyList(bytes, *size);
  if (!properties_ || properties_->kind != host_api::FourCharCode("8BFM")) {
    error_ = file.string() + " is not a filter plug-in";
    return;
  }
  entry_ =
      reinterpret_cast<host_api::PluginMainProc>(dlsym(handle_, properties_->entry_point.c_str()));
  if (entry_ == nullptr) error_ = file.string() + " has no entry point " + properties_->entry_point;
}

PluginLibrary::~PluginLibrary() {
  if (handle_ != nullptr) dlclose(handle_);
}

std::filesystem::path DefaultPluginLibrary() {
  const std::filesystem::path folder = platform::ExecutablePath().parent_path();
  const std::filesystem::path beside = folder / "libPictomarkerPS.so";
  if (std::filesystem::exists(beside)) return beside;
  return folder.parent_path() / "lib" / "pictomarker" / "libPictomarkerPS.so";
}

}  // namespace pmk::plugin
