#include "plugin/dialogs/dialog_support.h"

#include <QBoxLayout>
#include <QDesktopServices>
#include <QFontMetrics>
#include <QPushButton>
#include <QUrl>
#include <QWidget>
#include <algorithm>

namespace pmk::ui {

void SetId(QWidget* widget, int id) {
  widget->setObjectName(QString::number(id));
}

QPushButton* MakeButton(int id, const QString& text, QWidget* parent) {
  auto* button = new QPushButton(text, parent);
  SetId(button, id);
  button->setAutoDefault(false);
  return button;
}

void CentreOver(QWidget* dialog, const QWidget* viewer) {
  if (viewer == nullptr) return;
  dialog->adjustSize();
  const QRect frame = viewer->window()->frameGeometry();
  dialog->move(frame.center() - QPoint(dialog->width() / 2, dialog->height() / 2));
}

int TitleBarWidth(const QWidget* window) {
  QFont font = window->font();
  font.setBold(true);
  const QFontMetrics metrics(font);
  // Icon and buttons are squares about a line high with a little padding;
  // a line's height of margin on either side of the title.
  const int square = metrics.height() + 4;
  return metrics.horizontalAdvance(window->windowTitle()) + 4 * square + 2 * metrics.height();
}

void ReserveTitleWidth(QWidget* dialog) {
  const int width = TitleBarWidth(dialog);
  // A strut keeps the layout in charge of the size, so the dialog still
  // grows with its controls and never shrinks below them.
  if (auto* box = qobject_cast<QBoxLayout*>(dialog->layout())) {
    if (box->direction() == QBoxLayout::TopToBottom ||
        box->direction() == QBoxLayout::BottomToTop) {
      box->addStrut(width);
      return;
    }
  }
  dialog->setMinimumWidth(std::max(width, dialog->minimumSizeHint().width()));
}

void UseLargeBoldFont(QWidget* widget) {
  QFont font = widget->font();
  font.setWeight(QFont::Bold);
  font.setPixelSize(25);
  widget->setFont(font);
}

void ShowMessage(QWidget* parent, const QString& text, const QString& caption,
                 QMessageBox::Icon icon) {
  QMessageBox box(icon, caption, text, QMessageBox::Ok, parent);
  box.exec();
}

void OpenWebAddress(const QString& address) {
  QDesktopServices::openUrl(QUrl::fromUserInput(address));
}

void LayOutAboveButtons(QWidget* dialog, QLayout* controls, QWidget* ok, QWidget* cancel) {
  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(ok);
  buttons->addWidget(cancel);
  auto* layout = new QVBoxLayout(dialog);
  layout->addLayout(controls);
  layout->addLayout(buttons);
}

}  // namespace pmk::ui
