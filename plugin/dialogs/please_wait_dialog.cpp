#include "plugin/dialogs/please_wait_dialog.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QThread>
#include <QVBoxLayout>
#include <algorithm>

#include "plugin/dialogs/dialog_ids.h"
#include "plugin/dialogs/dialog_support.h"
#include "plugin/dialogs/language_table.h"

namespace pmk::ui {

PleaseWaitDialog::PleaseWaitDialog(QWidget* viewer, int step_count) : QDialog(viewer) {
  SetId(this, ids::kPleaseWaitDialog);
  setWindowTitle(LanguageText(TextId::kPleaseWait));
  // Stands for the disabled viewer of the original: the user can reach only
  // this dialog while the engine works on the viewer's thread.
  setWindowModality(Qt::WindowModal);

  bar_ = new QProgressBar(this);
  SetId(bar_, ids::kProgressBar);
  bar_->setRange(0, step_count);
  bar_->setValue(2);
  bar_->setTextVisible(false);
  text_ = new QLabel(this);
  SetId(text_, ids::kFirstText);
  text_->setMinimumWidth(260);
  auto* cancel = MakeButton(ids::kCancel, LanguageText(TextId::kCancelButton), this);
  connect(cancel, &QPushButton::clicked, this, &PleaseWaitDialog::reject);

  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(cancel);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(text_);
  layout->addWidget(bar_);
  layout->addLayout(buttons);
  ReserveTitleWidth(this);
  CentreOver(this, viewer);
}

void PleaseWaitDialog::SetText(const QString& text) {
  text_->setText(text);
}

void PleaseWaitDialog::reject() {
  stop_.store(1);
  text_->setText(LanguageText(TextId::kCancellingDetection));
  bar_->setValue(bar_->maximum());
}

void PleaseWaitDialog::closeEvent(QCloseEvent* event) {
  reject();
  event->ignore();
}

bool ProgressBarNotifier::OnDialogThread() const {
  return dialog_ != nullptr && QThread::currentThread() == dialog_->thread();
}

void ProgressBarNotifier::ReportStep(std::int32_t step) {
  if (!OnDialogThread()) return;
  // The Windows bar stops at its ends; Qt's would ignore a value beyond them.
  QProgressBar* bar = dialog_->ProgressBar();
  bar->setValue(std::clamp(step + 6, bar->minimum(), bar->maximum()));
  dialog_->repaint();
  if (QWidget* viewer = dialog_->parentWidget()) viewer->update();
  QCoreApplication::processEvents();
}

bool ProgressBarNotifier::ShouldContinue() {
  if (OnDialogThread()) QCoreApplication::processEvents();
  return dialog_ == nullptr || dialog_->StopFlag().load() == 0;
}

}  // namespace pmk::ui
