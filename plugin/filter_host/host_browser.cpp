#include "plugin/filter_host/host_browser.h"

#include <utility>

#include "platform/open_address.h"

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
  return (open ? open(url) : platform::OpenAddress(url)) ? 0 : kNotOpened;
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

}  // namespace pmk::plugin
