// The progress dialogs of batch signing (140) and batch detection (145):
// files done, elapsed time and the estimated time of the whole job.
#pragma once

#include <QDialog>
#include <atomic>
#include <cstdint>

#include "plugin/batch/batch_job.h"

class QLabel;
class QProgressBar;
class QTimer;

namespace pmk::ui {

// "%.2u:%.2u": minutes and seconds, each at least two digits.
QString MinutesAndSeconds(std::uint64_t seconds);

class BatchProgressDialog : public QDialog {
 public:
  // Modeless; call show(). `batch_cancel` is the job's stop flag, set to 1 by
  // Cancel. With `run_clock` a one-second timer calls Tick(); without it the
  // caller (a test) drives the time.
  BatchProgressDialog(QWidget* viewer, BatchKind kind, int file_count,
                      std::atomic<std::uint8_t>* batch_cancel, bool run_clock = true);

  // One second has passed: the elapsed time goes up by one.
  void Tick();
  // One more file is done: the bar moves and the estimate is recomputed.
  // Call it on the dialog's thread, or through NotifyFileDone.
  void FileDone();

  // Cancel (also Escape and the close box): stop the clock, ask the job to
  // stop and hide the dialog; the viewer deletes it when the job has ended.
  void done(int result) override;

 private:
  QTimer* clock_ = nullptr;
  QProgressBar* bar_;
  QLabel* estimated_;
  QLabel* elapsed_label_;
  std::atomic<std::uint8_t>* batch_cancel_;
  std::uint64_t total_;
  std::uint64_t elapsed_ = 0;
  std::uint64_t files_done_ = 0;
};

// For the batch worker: runs FileDone on the dialog's thread and returns once
// the dialog is updated. The dialog's thread must not wait for the worker
// while the worker is in here.
void NotifyFileDone(BatchProgressDialog* dialog);

}  // namespace pmk::ui
