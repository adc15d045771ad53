// The interactive procedure's work: the filter library loaded and served the
// drawable exactly as PictomarkerHost serves a picture file.
#pragma once

#include <filesystem>
#include <string>

#include "plugin/filter_host/enable_condition.h"
#include "plugin/filter_host/filter_host.h"

namespace pmk::gimp {

// The filter library: beside this program (the user's plug-in folder holds
// its own copy), else where the package puts it, found from GIMP's plug-in
// folder by the path between the two install folders.
std::filesystem::path FilterLibraryFile();

struct FilterOutcome {
  enum Kind { kChanged, kUnchanged, kCancelled, kFailed };
  Kind kind = kFailed;
  std::string message;  // why, for kFailed
};

// Runs the filter over `document` as the editor would, with its dialog unless
// `repeat` (a repeat plays the last parameters without the window and changes
// nothing). `properties` are those the filter's enable condition reads; the
// filter is refused where the editor would not offer it. On kChanged the
// document holds the result.
FilterOutcome RunFilterOnDocument(plugin::HostDocument& document,
                                  const plugin::DocumentProperties& properties, bool repeat);

}  // namespace pmk::gimp
