#include "plugin/viewer/viewer_window.h"

#include <QAction>
#include <QComboBox>
#include <QFont>
#include <QFontMetrics>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QStatusBar>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QWheelEvent>
#include <algorithm>

#include "image/picture_buffer_ops.h"
#include "platform/module_folder.h"
#include "plugin/dialogs/language_table.h"
#include "plugin/dialogs/plugin_settings.h"
#include "plugin/dialogs/qt_path.h"
#include "plugin/viewer/control_skin.h"
#include "plugin/viewer/toolbar_icons.h"
#include "plugin/viewer/view_area.h"
#include "plugin/viewer/view_drawing.h"
#include "plugin/viewer/viewer_commands.h"
#include "plugin/viewer/viewer_dialogs.h"
#include "plugin/viewer/viewer_engine.h"

namespace pmk::ui {

namespace {

// The zoom box's slot in the toolbar and its place inside it.
constexpr int kZoomSlotWidth = 95;
// Room beside the zoom text for the frame and the list's arrow.
constexpr int kZoomArrowWidth = 48;
constexpr int kZoomBoxInset = 5;
constexpr double kArrowStep = 50;
// Dragging starts this far below the toolbar.
constexpr double kDragMargin = 2;

}  // namespace

QString PluginFolder() {
  return QStringFromPath(platform::ModuleFolder());
}

ViewerWindow::ViewerWindow(ImageRecord& host_picture, QWidget* parent)
    : QMainWindow(parent), host_picture_(host_picture) {
  setAttribute(Qt::WA_DeleteOnClose);
  setWindowTitle(QString::fromLatin1(kViewerTitle));
  PluginSettings& settings = CurrentSettings();
  settings.processor_count = ViewerProcessorCount();
  const QString plugin_folder = PluginFolder();
  LoadSettingsAndLanguageList(settings, plugin_folder);
  LoadLanguageTableFor(settings, plugin_folder);
  if (settings.crash_mark != 0) {
    CurrentViewerDialogs().message(this, LanguageText(TextId::kCrashedLastTime),
                                   LanguageText(TextId::kWarningCaption),
                                   MessageIcon::kInformation);
  }
  statusBar()->showMessage(LanguageText(TextId::kOpenImageHint));

  view_area_ = new ViewArea(back_, busy_, this);
  setCentralWidget(view_area_);
  EnsureBackBuffer(back_, 1, 1);

  BuildToolbar();
  BuildMenu();
  ConnectViewInput();
  PrepareEngineTables();
  ApplyControlSkin(this);
}

ViewerWindow::~ViewerWindow() {
  // A running batch job finishes its current file and stops; its notifications
  // must not reach a half-destroyed window.
  batch_worker_.CancelAndWait();
  if (busy_) EndBatch();
  // The editor gets back whatever the viewer holds now; a failed copy leaves
  // the host buffer empty, which the host treats as "nothing changed".
  picture_buffer::CopyWhole(host_picture_, image_);
  WriteCrashedLastTime(0);
}

void ViewerWindow::BuildToolbar() {
  toolbar_ = new QToolBar(this);
  toolbar_->setObjectName(QString::number(kToolbarId));
  toolbar_->setMovable(false);
  toolbar_->setFloatable(false);
  toolbar_->setContextMenuPolicy(Qt::PreventContextMenu);
  toolbar_->setIconSize(ToolbarImageSize());
  addToolBar(Qt::TopToolBarArea, toolbar_);

  for (const CommandEntry& entry : Commands()) {
    auto* action = new QAction(this);
    action->setObjectName(QString::number(entry.id));
    if (entry.icon != nullptr) action->setIcon(ToolbarIcon(entry.icon));
    if (entry.menu_text) action->setText(LanguageText(*entry.menu_text));
    if (entry.tooltip_text) action->setToolTip(LanguageText(*entry.tooltip_text));
    QList<QKeySequence> keys;
    for (const QKeyCombination key : entry.keys) {
      if (key != QKeyCombination()) keys.append(QKeySequence(key));
    }
    action->setShortcuts(keys);
    action->setShortcutContext(Qt::WindowShortcut);
    action->setEnabled(entry.available);
    const int id = entry.id;
    connect(action, &QAction::triggered, this, [this, id] { RunCommand(id); });
    addAction(action);  // keys work without the action being on show
    actions_[id] = action;
  }

  for (const int slot : ToolbarLayout()) {
    if (slot == kToolbarSeparator) {
      toolbar_->addSeparator();
    } else if (slot == kCommandSpacer) {
      // Pushes the "Menu" button to the window's right edge.
      auto* spacer = new QWidget(toolbar_);
      spacer->setObjectName(QString::number(kCommandSpacer));
      spacer->setMinimumWidth(1);
      spacer->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
      spacer->setEnabled(false);
      toolbar_->addWidget(spacer);
    } else if (slot == kCommandZoomBox) {
      auto* holder = new QWidget(toolbar_);
      zoom_box_ = new QComboBox(holder);
      zoom_box_->setObjectName(QString::number(kCommandZoomBox));
      zoom_box_->setEditable(true);
      zoom_box_->setInsertPolicy(QComboBox::NoInsert);
      zoom_box_->setMaxVisibleItems(static_cast<int>(kZoomPresets.size()));
      QFont font(QStringLiteral("Tahoma"));
      font.setPixelSize(16);
      font.setWeight(QFont::DemiBold);
      zoom_box_->setFont(font);
      // The slot is 95 pixels where Tahoma is at hand; with a wider stand-in
      // font and the style's arrow it grows until "800.0 %" fits whole.
      const int text_width = QFontMetrics(font).horizontalAdvance(QStringLiteral("800.0 %"));
      const int slot_width = std::max(kZoomSlotWidth, text_width + kZoomArrowWidth);
      holder->setFixedWidth(slot_width);
      zoom_box_->setGeometry(kZoomBoxInset, 0, slot_width - 2 * kZoomBoxInset,
                             zoom_box_->sizeHint().height());
      for (const double preset : kZoomPresets) {
        zoom_box_->addItem(QString::fromStdString(ZoomText(preset)));
      }
      zoom_box_->setCurrentIndex(3);
      zoom_box_->setToolTip(LanguageText(TextId::kZoomBoxTooltip));
      zoom_box_->setEnabled(false);
      zoom_box_->installEventFilter(this);
      connect(zoom_box_, &QComboBox::activated, this, [this](int index) { ApplyPreset(index); });
      // Enter in the edit field: the typed zoom, once the key has been handled.
      connect(zoom_box_->lineEdit(), &QLineEdit::returnPressed, this,
              [this] { QTimer::singleShot(0, this, [this] { ApplyTypedZoom(); }); });
      holder->setMinimumHeight(zoom_box_->sizeHint().height());
      toolbar_->addWidget(holder);
    } else {
      QAction* action = actions_[slot];
      toolbar_->addAction(action);
      if (slot == kCommandMenu) {
        menu_button_ = qobject_cast<QToolButton*>(toolbar_->widgetForAction(action));
        action->setText(QStringLiteral("Menu"));
        if (menu_button_ != nullptr) menu_button_->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
      }
    }
  }
}

void ViewerWindow::BuildMenu() {
  menu_ = new QMenu(this);
  for (const MenuGroup group :
       {MenuGroup::kFile, MenuGroup::kSign, MenuGroup::kDetect, MenuGroup::kHelp}) {
    QMenu* submenu = menu_->addMenu(LanguageText(*MenuGroupText(group)));
    for (const CommandEntry& entry : Commands()) {
      if (entry.group == group) submenu->addAction(actions_[entry.id]);
    }
  }
}

void ViewerWindow::ConnectViewInput() {
  ViewArea::Input input;
  input.press = [this](QMouseEvent* event) {
    const QPointF at = event->position();
    if (event->button() == Qt::LeftButton && at.y() >= kDragMargin &&
        at.y() < view_area_->height()) {
      dragging_ = true;
      last_x_ = at.x();
      last_y_ = at.y();
    }
  };
  input.move = [this](QMouseEvent* event) {
    if (!dragging_ || !(event->buttons() & Qt::LeftButton)) return;
    const QPointF at = event->position();
    SetUserView(Dragged(view_, {last_x_, last_y_}, {at.x(), at.y()}));
    last_x_ = at.x();
    last_y_ = at.y();
    Redraw();
  };
  input.release = [this](QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) dragging_ = false;
  };
  input.leave = [this] { dragging_ = false; };
  input.double_click = [this](QMouseEvent*) { ZoomToFit(); };
  input.wheel = [this](QWheelEvent* event) {
    if (busy_ || !display_.HasData() || dragging_) return;
    const QPointF at = event->position();
    SetUserView(WheelZoomed(view_, {at.x(), at.y()}, event->angleDelta().y() > 0, display_.width(),
                            display_.height()));
    ShowZoom();
    Redraw();
  };
  input.resized = [this](QSize before, QSize now) { OnViewResized(before, now); };
  input.first_paint = [this] { OnFirstPaint(); };
  view_area_->SetInput(std::move(input));
}

ViewSize ViewerWindow::ViewAreaSize() const {
  return {static_cast<double>(view_area_->width()), static_cast<double>(view_area_->height())};
}

void ViewerWindow::TakeImage() {
  picture_buffer::CopyWhole(image_, host_picture_);
  statusBar()->showMessage(LanguageText(TextId::kNavigationHint));
  dragging_ = false;
  view_.anchor_x = image_.width() / 2.0;
  view_.anchor_y = image_.height() / 2.0;
  FitToView();
  RedrawFromImage();
  zoom_box_->setEnabled(true);
  view_area_->setFocus();
}

void ViewerWindow::RedrawFromImage() {
  MakeDisplayCopy(image_, display_);
  Redraw();
}

void ViewerWindow::Redraw() {
  if (!on_screen_) return;
  DrawBackBuffer();
  view_area_->update();
}

void ViewerWindow::DrawBackBuffer() {
  if (EnsureBackBuffer(back_, view_area_->width(), view_area_->height()) != kResultOk) return;
  DrawView(display_, view_, back_);
}

void ViewerWindow::OnFirstPaint() {
  // A window manager gives the window its size (maximised, placed) only after
  // it was asked to show it; the first paint comes with that size.
  on_screen_ = true;
  if (fit_follows_window_) FitToView();
  DrawBackBuffer();  // the paint under way shows it
}

void ViewerWindow::OnViewResized(QSize before, QSize now) {
  if (!on_screen_) return;
  // A fitted picture stays fitted: a window manager may size the window again
  // after its first paint, and a user who resizes a fitted view means the fit.
  if (!fit_follows_window_ || !FitToView()) {
    view_ = Resized(view_, {double(before.width()), double(before.height())},
                    {double(now.width()), double(now.height())});
  }
  Redraw();
}

void ViewerWindow::SetUserView(const ViewState& view) {
  view_ = view;
  fit_follows_window_ = false;
}

void ViewerWindow::ShowZoom() {
  zoom_text_ = QString::fromStdString(ZoomText(view_.zoom));
  zoom_box_->setEditText(zoom_text_);
}

QString ViewerWindow::ZoomBoxText() const {
  return zoom_box_->currentText();
}

QAction* ViewerWindow::CommandAction(int id) const {
  const auto found = actions_.find(id);
  return found != actions_.end() ? found->second : nullptr;
}

void ViewerWindow::ZoomToFit() {
  if (FitToView()) Redraw();
}

bool ViewerWindow::FitToView() {
  if (!HasImage() || image_.width() == 0 || image_.height() == 0) return false;
  fit_follows_window_ = true;
  if (!on_screen_) return false;  // the first paint fits it
  view_ = FitView(ViewAreaSize(), image_.width(), image_.height());
  ShowZoom();
  return true;
}

void ViewerWindow::ApplyPreset(int index) {
  if (index < 0 || index >= static_cast<int>(kZoomPresets.size())) return;
  ViewState view = view_;
  view.zoom = kZoomPresets[static_cast<std::size_t>(index)];
  SetUserView(view);
  ShowZoom();
  view_area_->setFocus();
  RedrawFromImage();
}

void ViewerWindow::ApplyTypedZoom() {
  const auto zoom = ParseTypedZoom(zoom_box_->currentText().toStdString());
  if (!zoom) {
    zoom_box_->setEditText(zoom_text_);
    return;
  }
  ViewState view = view_;
  view.zoom = *zoom;
  SetUserView(view);
  ShowZoom();
  view_area_->setFocus();
  RedrawFromImage();
}

void ViewerWindow::MoveCentre(double dx, double dy) {
  ViewState view = view_;
  view.centre_x += dx;
  view.centre_y += dy;
  SetUserView(view);
  Redraw();
}

void ViewerWindow::ShowPopupMenu() {
  const QWidget* anchor = menu_button_ != nullptr ? static_cast<QWidget*>(menu_button_) : toolbar_;
  menu_->popup(anchor->mapToGlobal(anchor->rect().bottomLeft()));
}

bool ViewerWindow::eventFilter(QObject* watched, QEvent* event) {
  // The wheel over the zoom box zooms the picture, not the list.
  if (watched == zoom_box_ && event->type() == QEvent::Wheel) {
    view_area_->setFocus();
    return true;
  }
  return QMainWindow::eventFilter(watched, event);
}

void ViewerWindow::RunCommand(int id) {
  const CommandEntry* entry = FindCommand(id);
  if (entry == nullptr || !entry->available) return;
  switch (id) {
    case kCommandSign:
      SignImage();
      break;
    case kCommandDetect:
      DetectSign();
      break;
    case kCommandZoomIn:
      if (!HasImage()) break;
      SetUserView(ZoomedIn(view_));
      ShowZoom();
      Redraw();
      break;
    case kCommandZoomOut:
      if (!HasImage()) break;
      SetUserView(ZoomedOut(view_));
      ShowZoom();
      Redraw();
      break;
    case kCommandZoom100:
      if (!HasImage()) break;
      SetUserView(ActualSizeView(view_, ViewAreaSize()));
      ShowZoom();
      Redraw();
      break;
    case kCommandZoomFit:
      ZoomToFit();
      break;
    case kCommandMoveLeft:
      MoveCentre(-kArrowStep, 0);
      break;
    case kCommandMoveRight:
      MoveCentre(kArrowStep, 0);
      break;
    case kCommandMoveUp:
      MoveCentre(0, -kArrowStep);
      break;
    case kCommandMoveDown:
      MoveCentre(0, kArrowStep);
      break;
    case kCommandMenu:
      ShowPopupMenu();
      break;
    case kCommandVisitWebSite:
      OpenProductPage();
      break;
    case kCommandShortener:
      OpenShortener();
      break;
    case kCommandOptions:
      ShowOptions();
      break;
    case kCommandBatchSign:
      RunBatch(BatchKind::kSigning);
      break;
    case kCommandBatchDetect:
      RunBatch(BatchKind::kDetection);
      break;
    case kCommandJpegCheck:
      CheckJpegSurvival();
      break;
    case kCommandAbout:
      ShowAbout();
      break;
    case kCommandExit:
      close();
      break;
    default:
      break;
  }
}

}  // namespace pmk::ui
