// Start's window loop: the viewer as a modal top-level window over the editor.
#include "plugin/viewer/window_loop.h"

#include <QApplication>
#include <QEventLoop>
#include <QPointer>
#include <QTimer>
#include <cstdlib>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/engine.h"
#include "plugin/dialogs/host_window_owner.h"
#include "plugin/dialogs/widget_application.h"
#include "plugin/viewer/control_skin.h"
#include "plugin/viewer/viewer_commands.h"
#include "plugin/viewer/viewer_dialogs.h"
#include "plugin/viewer/viewer_window.h"

namespace pmk::plugin {

namespace {

constexpr int kWindowNotCreated = -128;

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

#ifdef PMK_TEST_SEAMS
void ClearBlue(ImageRecord& picture) {
  for (std::int32_t y = 0; y < picture.height(); ++y) {
    std::uint8_t* row = picture.Row<std::uint8_t>(y);
    for (std::int32_t x = 0; x < picture.width(); ++x) row[x * picture.channels()] = 0;
  }
}

// The test seam's scripted runs: the viewer really opens and takes the
// picture, does what the mode says and closes, with every dialog answered at
// once (the crash warning included). "close": nothing; "clear-blue": the blue
// samples become 0; "sign:TEXT": the sign command with TEXT typed into the sign
// dialog.
constexpr std::string_view kSignScript = "sign:";

class ScriptedDialogs {
 public:
  explicit ScriptedDialogs(std::string_view mode) : saved_(ui::CurrentViewerDialogs()) {
    ui::ViewerDialogs& dialogs = ui::CurrentViewerDialogs();
    dialogs.message = [](QWidget*, const QString&, const QString&, ui::MessageIcon) {};
    dialogs.result = [](QWidget*, const QString&) {};
    dialogs.sign_found = [](QWidget*, const QString&) {};
    const std::string signature = mode.substr(0, kSignScript.size()) == kSignScript
                                      ? std::string(mode.substr(kSignScript.size()))
                                      : "";
    dialogs.sign = [signature](QWidget*, std::string& payload) {
      payload = std::string(kPayloadPrefix) + signature;
      return 1;
    };
  }
  ~ScriptedDialogs() { ui::CurrentViewerDialogs() = saved_; }
  ScriptedDialogs(const ScriptedDialogs&) = delete;
  ScriptedDialogs& operator=(const ScriptedDialogs&) = delete;

 private:
  ui::ViewerDialogs saved_;
};

void RunScript(ui::ViewerWindow& viewer, std::string_view mode) {
  if (mode == "clear-blue") {
    ClearBlue(viewer.image());
  } else if (mode.substr(0, kSignScript.size()) == kSignScript) {
    viewer.RunCommand(ui::kCommandSign);
  }
  viewer.close();
}

#endif  // PMK_TEST_SEAMS

}  // namespace

int RunWindowLoop(ImageRecord& picture, std::intptr_t host_window) {
#ifdef PMK_TEST_SEAMS
  const char* test = std::getenv(kWindowLoopTestVariable);
  const std::string_view test_mode = test == nullptr ? "" : test;
  if (test_mode == "fail") return kWindowNotCreated;
#endif

  const ui::WidgetApplication application;
  if (!application.ready()) return kWindowNotCreated;

  ui::SetUpControlSkin();
  const auto editor_windows = DisableEditorWindows();
  {
#ifdef PMK_TEST_SEAMS
    std::optional<ScriptedDialogs> scripted;
    if (!test_mode.empty()) scripted.emplace(test_mode);
#endif
    QPointer<ui::ViewerWindow> viewer = new ui::ViewerWindow(picture);
    QEventLoop loop;
    QObject::connect(viewer.data(), &QObject::destroyed, &loop, &QEventLoop::quit);
    const auto owner = ui::OwnByHostWindow(*viewer, host_window);
    viewer->showMaximized();
    viewer->TakeImage();
#ifdef PMK_TEST_SEAMS
    if (!test_mode.empty()) {
      // Inside the loop, so that the closed window is deleted by it.
      QTimer::singleShot(0, viewer.data(), [&viewer, test_mode] { RunScript(*viewer, test_mode); });
    }
#endif
    if (viewer) loop.exec();
  }
  for (const QPointer<QWidget>& window : editor_windows) {
    if (window) window->setEnabled(true);
  }
  if (!editor_windows.empty() && editor_windows.front()) {
    editor_windows.front()->activateWindow();
  }
  ui::ReleaseControlSkin();
  return 0;
}

}  // namespace pmk::plugin
