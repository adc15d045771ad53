#include "plugin/filter_host/host_browser.h"

#include <thread>
#include <utility>

#include "platform/run_program.h"

namespace pmk::plugin {
namespace {

using namespace host_api;

constexpr SPErr kParamErr = -50;
constexpr SPErr kNotOpened = -1;

OpenInBrowser& Opener() {
  static OpenInBrowser open;
  return open;
}

SPErr BrowseUrl(const char* url) {
  if (url == nullptr || *url == '\0') return kParamErr;
  const OpenInBrowser& open = Opener();
  return (open ? open(url) : OpenWithXdgOpen(url)) ? 0 : kNotOpened;
}

}  // namespace

const PSGetFileListSuite4& FileListSuite() {
  static const PSGetFileListSuite4 suite = [] {
    PSGetFileListSuite4 s{};
    s.BrowseUrl = &BrowseUrl;
    return s;
  }();
  return suite;
}

void SetOpenInBrowser(OpenInBrowser open) {
  Opener() = std::move(open);
}

bool OpenWithXdgOpen(const std::string& url) {
  try {
    // Some browsers keep xdg-open waiting until they end; the about box must
    // not. The address reaches xdg-open as one argument ("$1"), so the shell
    // never parses it.
    std::thread([url] {
      platform::RunProgramAndWait("/bin/sh", {"-c", "exec xdg-open \"$1\"", "sh", url});
    }).detach();
    return true;
  } catch (...) {
    return false;
  }
}

}  // namespace pmk::plugin
