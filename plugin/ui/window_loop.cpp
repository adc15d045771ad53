// Start's window loop: the viewer as a modal top-level window over the editor.
#include <QApplication>
#include <QEventLoop>
#include <QPointer>
#include <cstdlib>
#include <memory>
#include <vector>

#include "plugin/ui/control_skin.h"
#include "plugin/ui/viewer_window.h"

#if __has_include("plugin/host/window_loop.h")
#include "plugin/host/window_loop.h"
#else
namespace pmk::plugin {
int RunWindowLoop(ImageRecord& picture);
}
#endif

namespace pmk::plugin {

namespace {

constexpr int kWindowNotCreated = -128;

// Qt ends the whole process when it finds no display to open; an editor
// running without one must get "cancelled" instead.
bool DisplayAvailable() {
#if defined(__linux__)
  return std::getenv("QT_QPA_PLATFORM") != nullptr || std::getenv("DISPLAY") != nullptr ||
         std::getenv("WAYLAND_DISPLAY") != nullptr;
#else
  return true;
#endif
}

// An editor built on Qt keeps its windows; they are disabled while the viewer
// runs, as the editor's window would be.
std::vector<QPointer<QWidget>> DisableEditorWindows() {
  std::vector<QPointer<QWidget>> disabled;
  for (QWidget* window : QApplication::topLevelWidgets()) {
    if (window->isVisible() && window->isEnabled()) {
      window->setEnabled(false);
      disabled.emplace_back(window);
    }
  }
  return disabled;
}

}  // namespace

int RunWindowLoop(ImageRecord& picture) {
  std::unique_ptr<QApplication> own_application;
  if (QApplication::instance() == nullptr) {
    if (!DisplayAvailable()) return kWindowNotCreated;
    static int argc = 1;
    static char name[] = "PictomarkerPS";
    static char* argv[] = {name, nullptr};
    own_application = std::make_unique<QApplication>(argc, argv);
  } else if (qobject_cast<QApplication*>(QApplication::instance()) == nullptr) {
    // A core or GUI application without widgets cannot show the viewer.
    return kWindowNotCreated;
  }

  ui::SetUpControlSkin();
  const auto editor_windows = DisableEditorWindows();
  int result = 0;
  {
    QPointer<ui::ViewerWindow> viewer = new ui::ViewerWindow(picture);
    QEventLoop loop;
    QObject::connect(viewer.data(), &QObject::destroyed, &loop, &QEventLoop::quit);
    viewer->showMaximized();
    viewer->TakeImage();
    if (viewer) loop.exec();
  }
  for (const QPointer<QWidget>& window : editor_windows) {
    if (window) window->setEnabled(true);
  }
  if (!editor_windows.empty() && editor_windows.front()) {
    editor_windows.front()->activateWindow();
  }
  ui::ReleaseControlSkin();
  return result;
}

}  // namespace pmk::plugin
