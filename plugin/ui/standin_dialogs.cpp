// STAND-IN: see standin_dialogs.h.
#include "plugin/ui/standin_dialogs.h"

#include <QCoreApplication>
#include <QInputDialog>
#include <QMessageBox>
#include <QProgressDialog>

#include "engine/engine.h"
#include "plugin/ui/control_skin.h"

namespace pmk::ui {

namespace {

class StandinWaiting final : public WaitingDialog, public ProgressNotifier {
 public:
  StandinWaiting(QWidget* viewer, int steps, const QString& text)
      : viewer_(viewer), dialog_(text, QStringLiteral("Cancel"), 0, steps, viewer) {
    StopRequested = 0;
    dialog_.setWindowTitle(QStringLiteral("Please wait ..."));
    dialog_.setMinimumDuration(0);
    dialog_.setValue(2);
    QObject::connect(&dialog_, &QProgressDialog::canceled, [] { StopRequested = 1; });
    ApplyControlSkin(&dialog_);
    if (viewer_ != nullptr) viewer_->setEnabled(false);
  }
  ~StandinWaiting() override {
    if (viewer_ != nullptr) viewer_->setEnabled(true);
  }
  ProgressNotifier* notifier() override { return this; }
  void SetText(const QString& text) override { dialog_.setLabelText(text); }
  void ReportStep(std::int32_t step) override {
    dialog_.setValue(std::min(step + 6, dialog_.maximum()));
    QCoreApplication::processEvents();
  }
  bool ShouldContinue() override {
    QCoreApplication::processEvents();
    return StopRequested == 0;
  }

 private:
  QWidget* viewer_;
  QProgressDialog dialog_;
};

}  // namespace

int StandinSignDialog(QWidget* viewer, std::string& payload) {
  bool ok = false;
  const QString text = QInputDialog::getText(viewer, QStringLiteral("Sign Image"),
                                             QStringLiteral("Sign used by Pictomarker:"),
                                             QLineEdit::Normal, QString(), &ok);
  payload = "signSIGN" + text.left(10).toStdString();
  return ok ? 1 : 2;
}

std::unique_ptr<WaitingDialog> StandinPleaseWait(QWidget* viewer, int steps, const QString& text) {
  return std::make_unique<StandinWaiting>(viewer, steps, text);
}

void StandinResultBox(QWidget* viewer, const QString& text) {
  QMessageBox::information(viewer, QStringLiteral("Result"), text);
}

void StandinSignFoundBox(QWidget* viewer, const QString& signature) {
  QMessageBox::information(viewer, QStringLiteral("Sign Found!"), signature);
}

}  // namespace pmk::ui
