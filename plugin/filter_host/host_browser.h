// The file list suite that PictomarkerHost serves: of its procedures only
// BrowseUrl does something, it opens an address in the user's browser.
#pragma once

#include <functional>
#include <string>

#include "plugin/interface/host_interface.h"

namespace pmk::plugin {

const host_api::PSGetFileListSuite4& FileListSuite();

// Opens an address; true when the browser could be asked.
using OpenInBrowser = std::function<bool(const std::string& url)>;

// Replaces how BrowseUrl opens addresses (tests record them); an empty
// function restores the default, the desktop's browser.
void SetOpenInBrowser(OpenInBrowser open);

}  // namespace pmk::plugin
