#include "plugin/viewer/batch_progress_dialog.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QThread>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>

#include "plugin/dialogs/dialog_ids.h"
#include "plugin/dialogs/dialog_support.h"
#include "plugin/dialogs/language_table.h"

namespace pmk::ui {
namespace {

QLabel* MakeLabel(int id, const QString& text, QWidget* parent) {
  auto* label = new QLabel(text, parent);
  SetId(label, id);
  return label;
}

}  // namespace

QString MinutesAndSeconds(std::uint64_t seconds) {
  return QStringLiteral("%1:%2")
      .arg(seconds / 60, 2, 10, QLatin1Char('0'))
      .arg(seconds % 60, 2, 10, QLatin1Char('0'));
}

BatchProgressDialog::BatchProgressDialog(QWidget* viewer, BatchKind kind, int file_count,
                                         std::atomic<std::uint8_t>* batch_cancel, bool run_clock)
    : QDialog(viewer),
      batch_cancel_(batch_cancel),
      total_(static_cast<std::uint64_t>(std::max(file_count, 0))) {
  const bool signing = kind == BatchKind::kSigning;
  SetId(this, signing ? ids::kBatchSigningDialog : ids::kBatchDetectionDialog);
  setWindowTitle(LanguageText(signing ? TextId::kBatchSigningTitle : TextId::kBatchDetectionTitle));

  bar_ = new QProgressBar(this);
  SetId(bar_, ids::kProgressBar);
  bar_->setRange(0, std::max(file_count, 0));
  bar_->setValue(0);
  estimated_ = MakeLabel(ids::kEstimatedTime, MinutesAndSeconds(0), this);
  elapsed_label_ = MakeLabel(ids::kElapsedTime, MinutesAndSeconds(0), this);
  auto* cancel = MakeButton(ids::kCancel, LanguageText(TextId::kCancelButton), this);
  connect(cancel, &QPushButton::clicked, this, &BatchProgressDialog::reject);

  auto* times = new QGridLayout;
  times->addWidget(MakeLabel(ids::kFirstText, LanguageText(TextId::kEstimatedTime), this), 0, 0);
  times->addWidget(estimated_, 0, 1);
  times->addWidget(MakeLabel(ids::kSecondText, LanguageText(TextId::kElapsedTime), this), 1, 0);
  times->addWidget(elapsed_label_, 1, 1);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(cancel);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(bar_);
  layout->addLayout(times);
  layout->addLayout(buttons);
  ReserveTitleWidth(this);

  if (run_clock) {
    clock_ = new QTimer(this);
    clock_->setInterval(1000);
    connect(clock_, &QTimer::timeout, this, &BatchProgressDialog::Tick);
    clock_->start();
  }
}

void BatchProgressDialog::Tick() {
  ++elapsed_;
  elapsed_label_->setText(MinutesAndSeconds(elapsed_));
}

void BatchProgressDialog::FileDone() {
  ++files_done_;
  // Widened so that long jobs over many files cannot overflow the product.
  const std::uint64_t estimate = elapsed_ * total_ / files_done_;
  estimated_->setText(MinutesAndSeconds(estimate));
  bar_->setValue(static_cast<int>(std::min(files_done_, total_)));
}

void BatchProgressDialog::done(int result) {
  if (clock_ != nullptr) clock_->stop();
  if (batch_cancel_ != nullptr) batch_cancel_->store(1);
  QDialog::done(result);
}

void NotifyFileDone(BatchProgressDialog* dialog) {
  if (QThread::currentThread() == dialog->thread()) {
    dialog->FileDone();
    return;
  }
  QMetaObject::invokeMethod(
      dialog, [dialog] { dialog->FileDone(); }, Qt::BlockingQueuedConnection);
}

}  // namespace pmk::ui
