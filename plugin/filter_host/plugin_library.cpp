#include "plugin/filter_host/plugin_library.h"

#include "platform/executable_path.h"
#include "platform/utf8_path.h"

namespace pmk::plugin {

PluginLibrary::PluginLibrary(const std::filesystem::path& file) {
  const std::string name = platform::Utf8FromPath(file);
  if (const auto why = library_.Open(file)) {
    error_ = "cannot load " + name + ": " + *why;
    return;
  }
  // The editor on Windows reads the list from the library's resource; hosts
  // on Linux read the exported constant, as libraries there have no
  // resources.
  if (const auto resource = library_.Resource(kPropertyListResourceType, kPropertyListResourceId)) {
    properties_ =
        ReadPropertyList(resource->data(), resource->size(), PropertyListForm::kWindowsResource);
  } else {
    const auto* bytes = static_cast<const std::uint8_t*>(library_.Symbol(kPropertyListSymbol));
    const auto* size = static_cast<const std::uint32_t*>(library_.Symbol(kPropertyListSizeSymbol));
    if (bytes != nullptr && size != nullptr) properties_ = ReadPropertyList(bytes, *size);
  }
  if (!properties_ || properties_->kind != host_api::FourCharCode("8BFM")) {
    error_ = name + " is not a filter plug-in";
    return;
  }
  entry_ =
      reinterpret_cast<host_api::PluginMainProc>(library_.Symbol(properties_->entry_point.c_str()));
  if (entry_ == nullptr) error_ = name + " has no entry point " + properties_->entry_point;
}

std::filesystem::path DefaultPluginLibrary() {
  const std::filesystem::path folder = platform::ExecutablePath().parent_path();
#ifdef _WIN32
  // The editor's plug-in file name; installed, the host sits beside it.
  return folder / "PictomarkerPS.8bf";
#else
  const std::filesystem::path beside = folder / "libPictomarkerPS.so";
  if (std::filesystem::exists(beside)) return beside;
  return folder.parent_path() / "lib" / "pictomarker" / "libPictomarkerPS.so";
#endif
}

}  // namespace pmk::plugin
