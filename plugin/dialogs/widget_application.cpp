#include "plugin/dialogs/widget_application.h"

#include <QApplication>
#include <cstdlib>

namespace pmk::ui {
namespace {

// Qt ends the whole process when it finds no display to open; an editor
// running without one must see the plug-in decline instead.
bool DisplayAvailable() {
#if defined(__linux__)
  return std::getenv("QT_QPA_PLATFORM") != nullptr || std::getenv("DISPLAY") != nullptr ||
         std::getenv("WAYLAND_DISPLAY") != nullptr;
#else
  return true;
#endif
}

}  // namespace

WidgetApplication::WidgetApplication() {
  if (QApplication::instance() == nullptr) {
    if (!DisplayAvailable()) return;
    // Qt keeps references to both for the application's lifetime.
    static int argc = 1;
    static char name[] = "PictomarkerPS";
    static char* argv[] = {name, nullptr};
    own_ = std::make_unique<QApplication>(argc, argv);
  }
  // A core or GUI application without widgets cannot show a dialog.
  ready_ = qobject_cast<QApplication*>(QApplication::instance()) != nullptr;
}

WidgetApplication::~WidgetApplication() = default;

}  // namespace pmk::ui
