// The About selector: a modal about box over the host's window. Its address
// items ask the host to open the address, as the editor's own browser
// settings decide how.
#include "plugin/library/about_box.h"

#include <QApplication>
#include <QTimer>
#include <QWindow>
#include <cstdlib>
#include <memory>
#include <string>

#include "plugin/dialogs/about_box_dialog.h"
#include "plugin/dialogs/host_window_owner.h"
#include "plugin/dialogs/widget_application.h"
#include "plugin/viewer/window_loop.h"

namespace pmk::plugin {
namespace {

using namespace host_api;

// The suite is acquired for one request and released after it; a host
// without it opens nothing.
void AskHostToBrowse(SPBasicSuite* basic, const std::string& url) {
  if (basic == nullptr || basic->AcquireSuite == nullptr) return;
  const void* suite = nullptr;
  if (basic->AcquireSuite(kPSGetFileListSuite, kPSGetFileListSuiteVersion4, &suite) != 0 ||
      suite == nullptr) {
    return;
  }
  const auto* file_list = static_cast<const PSGetFileListSuite4*>(suite);
  if (file_list->BrowseUrl != nullptr) file_list->BrowseUrl(url.c_str());
  if (basic->ReleaseSuite != nullptr)
    basic->ReleaseSuite(kPSGetFileListSuite, kPSGetFileListSuiteVersion4);
}

std::intptr_t HostWindow(const AboutRecord& about) {
  const auto* platform = static_cast<const PlatformData*>(about.platformData);
  return platform == nullptr ? 0 : platform->hwnd;
}

}  // namespace

void ShowAboutBox(const AboutRecord& about) {
  const ui::WidgetApplication application;
  // Without a display there is nobody to read the box.
  if (!application.ready()) return;

  SPBasicSuite* basic = about.sSPBasic;
  // An editor built on Qt owns the box through its active window; any other
  // host through the native window it names.
  ui::AboutBox box(QApplication::activeWindow(),
                   [basic](const std::string& url) { AskHostToBrowse(basic, url); });
  const auto host_window = ui::OwnByHostWindow(box, HostWindow(about));
#ifdef PMK_TEST_SEAMS
  // Under test the box opens and closes at once, so that no run waits for a user.
  const char* test = std::getenv(kWindowLoopTestVariable);
  if (test != nullptr && *test != '\0') QTimer::singleShot(0, &box, &QDialog::reject);
#endif
  box.exec();
}

}  // namespace pmk::plugin
