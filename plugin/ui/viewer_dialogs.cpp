#include "plugin/ui/viewer_dialogs.h"

#include <QDesktopServices>
#include <QMessageBox>
#include <QUrl>

#include "plugin/ui/control_skin.h"
#include "plugin/ui/standin_dialogs.h"

namespace pmk::ui {

namespace {

QMessageBox::Icon BoxIcon(MessageIcon icon) {
  switch (icon) {
    case MessageIcon::kInformation:
      return QMessageBox::Information;
    case MessageIcon::kWarning:
      return QMessageBox::Warning;
    case MessageIcon::kError:
      return QMessageBox::Critical;
    case MessageIcon::kNone:
      break;
  }
  return QMessageBox::NoIcon;
}

void ShowMessageBox(QWidget* owner, const QString& text, const QString& caption, MessageIcon icon) {
  QMessageBox box(BoxIcon(icon), caption, text, QMessageBox::Ok, owner);
  ApplyControlSkin(&box);
  box.exec();
}

}  // namespace

ViewerDialogs PluginDialogs() {
  ViewerDialogs dialogs;
  dialogs.message = ShowMessageBox;
  dialogs.sign = StandinSignDialog;
  dialogs.please_wait = StandinPleaseWait;
  dialogs.result = StandinResultBox;
  dialogs.sign_found = StandinSignFoundBox;
  dialogs.open_url = [](const QUrl& address) { return QDesktopServices::openUrl(address); };
  return dialogs;
}

ViewerDialogs& CurrentViewerDialogs() {
  static ViewerDialogs dialogs = PluginDialogs();
  return dialogs;
}

}  // namespace pmk::ui
