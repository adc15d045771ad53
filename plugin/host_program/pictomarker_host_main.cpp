// PictomarkerHost: runs the Pictomarker filter plug-in over a picture file as
// the photo editor would, and writes the result with the picture's metadata.
#include <cstdio>
#include <exception>
#include <string>

#include "image/image_files.h"
#include "image/safe_output.h"
#include "platform/program_arguments.h"
#include "platform/utf8_path.h"
#include "plugin/filter_host/enable_condition.h"
#include "plugin/filter_host/filter_host.h"
#include "plugin/filter_host/host_document.h"
#include "plugin/filter_host/host_options.h"
#include "plugin/filter_host/plugin_library.h"

namespace pmk::plugin {
namespace {

enum ExitCode {
  kExitOk = 0,
  kExitUsage = 1,
  kExitNotAFilter = 2,
  kExitPictureRefused = 3,
  kExitCancelled = 4,
  kExitFilterFailed = 5,
  kExitNotWritten = 6,
};

using platform::Utf8FromPath;

int Fail(int code, const std::string& message) {
  std::fprintf(stderr, "PictomarkerHost: %s\n", message.c_str());
  return code;
}

// Loads the picture as the document the filter would be offered for, or says
// why the filter is not offered for it.
int LoadDocument(const HostOptions& options, const PropertyList& filter, HostDocument& document) {
  ImageRecord colour;
  ImageRecord alpha;
  if (!LoadImage(options.picture, colour, alpha))
    return Fail(kExitPictureRefused, "cannot read " + Utf8FromPath(options.picture));
  if (colour.width() < filter.min_width || colour.height() < filter.min_height ||
      colour.width() > filter.max_width || colour.height() > filter.max_height) {
    return Fail(kExitPictureRefused,
                Utf8FromPath(options.picture) + " is " + std::to_string(colour.width()) + " x " +
                    std::to_string(colour.height()) + " pixels; the filter takes " +
                    std::to_string(filter.min_width) + " x " + std::to_string(filter.min_height) +
                    " to " + std::to_string(filter.max_width) + " x " +
                    std::to_string(filter.max_height));
  }
  if (!EnableConditionHolds(filter.enable_condition, PropertiesOf(colour))) {
    return Fail(kExitPictureRefused, "the filter is not offered for " +
                                         Utf8FromPath(options.picture) +
                                         " (it takes 8-bit RGB pictures only)");
  }
  if (alpha.HasData() && alpha.bits() != 8) ConvertTo8BitChannels(alpha, 1);
  if (!DocumentFromPicture(colour, alpha, document))
    return Fail(kExitPictureRefused, "not enough memory for " + Utf8FromPath(options.picture));
  return kExitOk;
}

int Run(const HostOptions& options) {
  const std::filesystem::path library_file =
      options.library.empty() ? DefaultPluginLibrary() : options.library;
  PluginLibrary library(library_file);
  if (!library.IsFilter()) return Fail(kExitNotAFilter, library.error());
  const PropertyList& filter = library.properties();

  HostDocument document;
  if (!options.picture.empty()) {
    if (const int refused = LoadDocument(options, filter, document); refused != kExitOk)
      return refused;
  }
  HostSettings settings;
  settings.registry_file = RegistryFile();
  FilterHost host(library.entry(), std::move(document), settings);
  if (!options.log.empty()) host.SetLogFile(options.log);

  if (options.about) {
    host.About();
    std::printf("%s (%s), filter interface %u.%u\n", filter.name.c_str(), filter.category.c_str(),
                filter.version >> 16, filter.version & 0xFFFF);
    if (options.picture.empty()) return kExitOk;
  }

  const host_api::int16 result = host.RunFilter(options.repeat);
  if (result == host_api::userCanceledErr) return Fail(kExitCancelled, "the filter was cancelled");
  if (result != host_api::noErr)
    return Fail(kExitFilterFailed, "the filter failed with result " + std::to_string(result));

  ImageRecord colour;
  ImageRecord alpha;
  if (!PictureFromDocument(host.document(), colour, alpha))
    return Fail(kExitNotWritten, "not enough memory for the result");
  const std::filesystem::path output =
      options.output.empty() ? DefaultOutputFor(options.picture) : options.output;
  const std::string why = SaveReplacing(colour, alpha, output, options.picture, 0);
  if (!why.empty()) return Fail(kExitNotWritten, why);
  return kExitOk;
}

}  // namespace
}  // namespace pmk::plugin

int main(int argc, char** argv) {
  const auto options = pmk::plugin::ParseHostOptions(pmk::platform::Utf8Arguments(argc, argv));
  if (!options) {
    std::fputs(pmk::plugin::kHostUsage, stderr);
    return pmk::plugin::kExitUsage;
  }
  try {
    return pmk::plugin::Run(*options);
  } catch (const std::exception& error) {
    return pmk::plugin::Fail(pmk::plugin::kExitNotWritten, error.what());
  }
}
