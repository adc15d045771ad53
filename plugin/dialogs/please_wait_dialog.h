// "Please wait ...": the modeless dialog shown while the viewer signs or
// detects, and the progress receiver through which the engine reports to it.
#pragma once

#include <QDialog>
#include <atomic>
#include <cstdint>

#include "engine/engine.h"

class QLabel;
class QProgressBar;

namespace pmk::ui {

class PleaseWaitDialog : public QDialog {
 public:
  // Starts with no stop asked; the bar runs from 0 to `step_count` (17 for the
  // check before signing, 29 for detection) and starts at 2. The viewer takes no
  // input while the dialog is shown (window modality, without blocking the
  // caller); call show() to open it and delete it to close it.
  PleaseWaitDialog(QWidget* viewer, int step_count);

  // The text item 1021 ("Detecting new signature", "Inserting signature").
  void SetText(const QString& text);
  QProgressBar* ProgressBar() const { return bar_; }
  // The engine's stop flag for the command this dialog waits on: set by
  // Cancel, read by the engine's threads.
  const std::atomic<std::int32_t>& StopFlag() const { return stop_; }

  // Cancel, Escape and the window's close box: set the stop flag, say
  // "Canceling the detection!" and move the bar to its end. The dialog stays
  // until the viewer deletes it.
  void reject() override;

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  QProgressBar* bar_;
  QLabel* text_;
  std::atomic<std::int32_t> stop_{0};
};

// The engine's ProgressNotifier for the viewer's sign and detect commands. On
// the dialog's thread it lets waiting events run so that Cancel can be
// pressed; search threads that ask it only read the dialog's stop flag.
class ProgressBarNotifier : public ProgressNotifier {
 public:
  explicit ProgressBarNotifier(PleaseWaitDialog* dialog) : dialog_(dialog) {}

  // With a dialog: the bar shows step + 6; the dialog and the viewer repaint.
  void ReportStep(std::int32_t step) override;
  // False once the dialog's stop flag is set.
  bool ShouldContinue() override;

 private:
  bool OnDialogThread() const;

  PleaseWaitDialog* dialog_;
};

}  // namespace pmk::ui
