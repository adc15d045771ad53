// The procedures that scripts call inside GIMP, on the drawable's pixels:
// signing (the search before signing, then the embedding, as the viewer's
// sign command does) and detection. Neither knows GIMP: the front end hands
// them the drawable as the filter host's document.
#pragma once

#include <filesystem>
#include <string>

#include "plugin/filter_host/filter_host.h"

namespace pmk::gimp {

// Makes the viewer's texts the procedures': those of its language, read from
// the language file in `plugin_folder` (the English texts when there is none).
// The two procedures run the engine on the cores of the plug-in's settings
// file.
void ApplyPluginSettings(const std::filesystem::path& plugin_folder);

struct SignOptions {
  bool robust = false;     // sign larger regions
  bool web_layer = false;  // add the web layer after the cell mark
};

// Signs `document` in place with `signature` (6 to 10 letters, digits or
// dashes; other characters become dashes, as the sign dialog shows them).
// Returns the message of a refusal or failure, empty when signed; the
// document is unchanged on any failure.
std::string SignDocument(plugin::HostDocument& document, const std::string& signature,
                         const SignOptions& options);

// The full detection. Returns the message of a refusal or failure, empty
// otherwise; `signature` is what was found, empty when nothing was.
std::string DetectInDocument(const plugin::HostDocument& document, std::string& signature);

}  // namespace pmk::gimp
