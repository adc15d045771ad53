// Windows of the plug-in owned by the host's own native window (the editor's
// main window, from its platform data): they stay above it, minimise with it
// and centre on it, as the editor's own dialogs do.
#pragma once

#include <QWindow>
#include <cstdint>
#include <memory>

class QWidget;

namespace pmk::ui {

// Makes `window` (a top-level widget without a Qt parent) owned by the native
// window `host` (0: none). The returned stand-in for the host must outlive
// `window`'s showing; it is null when there is nothing to own it.
std::unique_ptr<QWindow> OwnByHostWindow(QWidget& window, std::intptr_t host);

}  // namespace pmk::ui
