// A filter library loaded into the host: its entry point and property list.
#pragma once

#include <filesystem>
#include <optional>
#include <string>

#include "platform/loadable_library.h"
#include "plugin/filter_host/property_list_reader.h"
#include "plugin/interface/host_interface.h"

namespace pmk::plugin {

class PluginLibrary {
 public:
  // Loads `file`; `error()` says why when it is not usable as a filter.
  explicit PluginLibrary(const std::filesystem::path& file);
  PluginLibrary(const PluginLibrary&) = delete;
  PluginLibrary& operator=(const PluginLibrary&) = delete;
  ~PluginLibrary() = default;

  bool IsFilter() const { return error_.empty(); }
  const std::string& error() const { return error_; }
  const PropertyList& properties() const { return *properties_; }
  host_api::PluginMainProc entry() const { return entry_; }

 private:
  platform::LoadableLibrary library_;
  std::optional<PropertyList> properties_;
  host_api::PluginMainProc entry_ = nullptr;
  std::string error_;
};

// The plug-in library beside the running program, or where it is installed
// relative to it.
std::filesystem::path DefaultPluginLibrary();

}  // namespace pmk::plugin
