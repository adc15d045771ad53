#include "plugin/ui/dialog_support.h"

#include <QBoxLayout>
#include <QDesktopServices>
#include <QPushButton>
#include <QUrl>
#include <QWidget>

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
