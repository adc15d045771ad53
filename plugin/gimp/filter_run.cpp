#include "plugin/gimp/filter_run.h"

#include "platform/executable_path.h"
#include "plugin/filter_host/host_options.h"
#include "plugin/filter_host/plugin_library.h"

namespace pmk::gimp {
namespace {

constexpr const char* kLibraryName = "libPictomarkerPS.so";

std::string Size(std::int32_t width, std::int32_t height) {
  return std::to_string(width) + " x " + std::to_string(height);
}

// Why the editor would not offer the filter for the document; empty if it would.
std::string Refusal(const plugin::PropertyList& filter, const plugin::HostDocument& document,
                    const plugin::DocumentProperties& properties) {
  if (!plugin::EnableConditionHolds(filter.enable_condition, properties))
    return "Pictomarker takes 8-bit RGB layers only (Image > Mode > RGB, Image > Precision > 8 "
           "bit gamma integer), without a layer mask";
  if (document.width < filter.min_width || document.height < filter.min_height ||
      document.width > filter.max_width || document.height > filter.max_height) {
    return "The layer is " + Size(document.width, document.height) + " pixels; Pictomarker takes " +
           Size(filter.min_width, filter.min_height) + " to " +
           Size(filter.max_width, filter.max_height);
  }
  return {};
}

}  // namespace

std::filesystem::path FilterLibraryFile() {
  const std::filesystem::path folder = platform::ExecutablePath().parent_path();
  const std::filesystem::path beside = folder / kLibraryName;
  if (std::filesystem::exists(beside)) return beside;
  return (folder / PMK_GIMP_TO_PLUGIN_FOLDER / kLibraryName).lexically_normal();
}

FilterOutcome RunFilterOnDocument(plugin::HostDocument& document,
                                  const plugin::DocumentProperties& properties, bool repeat) {
  plugin::PluginLibrary library(FilterLibraryFile());
  if (!library.IsFilter()) return {FilterOutcome::kFailed, library.error()};
  if (std::string refused = Refusal(library.properties(), document, properties); !refused.empty())
    return {FilterOutcome::kFailed, refused};

  plugin::HostSettings settings;
  // Kept apart from PictomarkerHost's, as two editors keep their own.
  if (const auto shared = plugin::RegistryFile(); !shared.empty())
    settings.registry_file = shared.parent_path() / "GIMP-registry.json";
  plugin::FilterHost host(library.entry(), document, settings);
  const plugin::host_api::int16 result = host.RunFilter(repeat);
  if (result == plugin::host_api::userCanceledErr) return {FilterOutcome::kCancelled, {}};
  if (result != plugin::host_api::noErr)
    return {FilterOutcome::kFailed, "The filter failed with result " + std::to_string(result)};
  if (host.document().pixels == document.pixels) return {FilterOutcome::kUnchanged, {}};
  document = std::move(host.document());
  return {FilterOutcome::kChanged, {}};
}

}  // namespace pmk::gimp
