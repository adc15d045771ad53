#include "plugin/viewer/viewer_dialogs.h"

#include <QProgressBar>
#include <QUrl>

#include "plugin/dialogs/dialog_support.h"
#include "plugin/dialogs/options_dialog.h"
#include "plugin/dialogs/please_wait_dialog.h"
#include "plugin/dialogs/result_boxes.h"
#include "plugin/dialogs/sign_dialog.h"

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

// "Please wait ..." with the engine's progress receiver attached to it.
class PleaseWait final : public WaitingDialog {
 public:
  PleaseWait(QWidget* viewer, int steps, const QString& text)
      : dialog_(new PleaseWaitDialog(viewer, steps)), notifier_(dialog_.get()) {
    dialog_->SetText(text);
    dialog_->show();
  }
  ProgressNotifier* notifier() override { return &notifier_; }
  const std::atomic<std::int32_t>* stop_flag() override { return &dialog_->StopFlag(); }
  void SetText(const QString& text) override { dialog_->SetText(text); }
  void ResetBar() override { dialog_->ProgressBar()->setValue(0); }

 private:
  std::unique_ptr<PleaseWaitDialog> dialog_;
  ProgressBarNotifier notifier_;
};

}  // namespace

ViewerDialogs PluginDialogs() {
  ViewerDialogs dialogs;
  dialogs.message = [](QWidget* owner, const QString& text, const QString& caption,
                       MessageIcon icon) { ShowMessage(owner, text, caption, BoxIcon(icon)); };
  dialogs.sign = [](QWidget* viewer, std::string& payload) {
    SignPayloadBuffer buffer{};
    const int result = RunSignDialog(viewer, false, buffer);
    payload = buffer.data();
    return result;
  };
  dialogs.please_wait = [](QWidget* viewer, int steps, const QString& text) {
    return std::unique_ptr<WaitingDialog>(std::make_unique<PleaseWait>(viewer, steps, text));
  };
  dialogs.result = ShowResultsBox;
  dialogs.sign_found = ShowSignFoundBox;
  dialogs.options = [](QWidget* viewer, const QString& plugin_folder) {
    RunOptionsDialog(viewer, plugin_folder);
  };
  dialogs.open_url = [](const QUrl& address) {
    OpenWebAddress(address.toString());
    return true;
  };
  return dialogs;
}

ViewerDialogs& CurrentViewerDialogs() {
  static ViewerDialogs dialogs = PluginDialogs();
  return dialogs;
}

}  // namespace pmk::ui
