#include "plugin/viewer/control_skin.h"

#include <QApplication>
#include <QEvent>
#include <QPointer>
#include <QStyle>
#include <QStyleFactory>
#include <QWidget>
#include <memory>

namespace pmk::ui {

namespace {

constexpr const char* kSkinnedProperty = "pmkControlSkin";

QColor Grey(int level) {
  return QColor(level, level, level);
}

bool UnderSkinnedWindow(const QWidget* widget) {
  for (const QWidget* w = widget; w != nullptr; w = w->parentWidget()) {
    if (w->property(kSkinnedProperty).toBool()) return true;
  }
  return false;
}

void SkinOne(QWidget* widget, QStyle* style, const QPalette& palette) {
  if (widget->style() != style) widget->setStyle(style);
  // Child widgets inherit a palette, windows do not: set it where a window
  // starts.
  if (widget->isWindow()) widget->setPalette(palette);
}

// Widgets created under a skinned window after it was skinned (menus, combo
// lists, dialogs) take the skin when they are first polished.
class SkinWatcher : public QObject {
 public:
  bool eventFilter(QObject* object, QEvent* event) override {
    if (event->type() == QEvent::Polish && style_ != nullptr) {
      auto* widget = qobject_cast<QWidget*>(object);
      if (widget != nullptr && widget->style() != style_ && UnderSkinnedWindow(widget)) {
        SkinOne(widget, style_, ControlSkinPalette());
      }
    }
    return false;
  }
  QPointer<QStyle> style_;
};

struct SkinState {
  std::unique_ptr<QStyle> style;
  std::unique_ptr<SkinWatcher> watcher;
};

SkinState& State() {
  static SkinState state;
  return state;
}

}  // namespace

QPalette ControlSkinPalette() {
  QPalette palette;
  palette.setColor(QPalette::Window, Grey(64));
  palette.setColor(QPalette::WindowText, Grey(220));
  palette.setColor(QPalette::Base, Grey(42));
  palette.setColor(QPalette::AlternateBase, Grey(56));
  palette.setColor(QPalette::ToolTipBase, Grey(72));
  palette.setColor(QPalette::ToolTipText, Grey(230));
  palette.setColor(QPalette::PlaceholderText, Grey(140));
  palette.setColor(QPalette::Text, Grey(220));
  palette.setColor(QPalette::Button, Grey(72));
  palette.setColor(QPalette::ButtonText, Grey(220));
  palette.setColor(QPalette::BrightText, QColor(255, 96, 96));
  palette.setColor(QPalette::Light, Grey(100));
  palette.setColor(QPalette::Midlight, Grey(84));
  palette.setColor(QPalette::Mid, Grey(56));
  palette.setColor(QPalette::Dark, Grey(36));
  palette.setColor(QPalette::Shadow, Grey(20));
  palette.setColor(QPalette::Highlight, QColor(74, 112, 160));
  palette.setColor(QPalette::HighlightedText, Grey(255));
  palette.setColor(QPalette::Link, QColor(110, 160, 230));
  palette.setColor(QPalette::LinkVisited, QColor(160, 130, 220));
  for (const auto role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText}) {
    palette.setColor(QPalette::Disabled, role, Grey(120));
  }
  return palette;
}

QColor ApplicationWorkspaceColour() {
  return Grey(48);
}

QStyle* ControlSkinStyle() {
  return State().style.get();
}

void SetUpControlSkin() {
  SkinState& state = State();
  if (state.style) return;
  state.style.reset(QStyleFactory::create(QStringLiteral("Fusion")));
  if (!state.style) return;
  state.watcher = std::make_unique<SkinWatcher>();
  state.watcher->style_ = state.style.get();
  if (qApp != nullptr) qApp->installEventFilter(state.watcher.get());
}

void ApplyControlSkin(QWidget* window) {
  QStyle* style = ControlSkinStyle();
  if (window == nullptr || style == nullptr) return;
  window->setProperty(kSkinnedProperty, true);
  const QPalette palette = ControlSkinPalette();
  SkinOne(window, style, palette);
  for (QWidget* child : window->findChildren<QWidget*>()) SkinOne(child, style, palette);
}

void ReleaseControlSkin() {
  SkinState& state = State();
  if (state.watcher && qApp != nullptr) qApp->removeEventFilter(state.watcher.get());
  state.watcher.reset();
  if (state.style && qApp != nullptr) {
    for (QWidget* widget : QApplication::allWidgets()) {
      if (widget->style() == state.style.get()) widget->setStyle(nullptr);
    }
  }
  state.style.reset();
}

}  // namespace pmk::ui
