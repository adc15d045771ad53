#include "plugin/dialogs/host_window_owner.h"

#include <QWidget>

namespace pmk::ui {

std::unique_ptr<QWindow> OwnByHostWindow(QWidget& window, std::intptr_t host) {
  if (host == 0 || window.parentWidget() != nullptr) return nullptr;
  std::unique_ptr<QWindow> host_window(QWindow::fromWinId(static_cast<WId>(host)));
  // The native window exists only once asked for.
  window.winId();
  if (host_window != nullptr && window.windowHandle() != nullptr)
    window.windowHandle()->setTransientParent(host_window.get());
  return host_window;
}

}  // namespace pmk::ui
