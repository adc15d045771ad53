#include <QLabel>
#include <QProgressBar>
#include <atomic>
#include <thread>

#include "plugin/dialogs/dialog_ids.h"
#include "plugin/dialogs/please_wait_dialog.h"
#include "plugin/viewer/batch_progress_dialog.h"
#include "support/dialog_driving.h"

namespace pmk::ui {
namespace {

using ProgressDialogsTest = UiFixture;

TEST_F(ProgressDialogsTest, CancelInPleaseWaitStopsTheEngine) {
  {
    PleaseWaitDialog cancelled(nullptr, 17);
    cancelled.reject();  // an earlier command's
    EXPECT_EQ(cancelled.StopFlag().load(), 1);
  }
  PleaseWaitDialog dialog(nullptr, 29);
  dialog.show();
  EXPECT_EQ(dialog.StopFlag().load(), 0);
  auto* bar = FindControl<QProgressBar>(&dialog, ids::kProgressBar);
  EXPECT_EQ(bar->value(), 2);

  ProgressBarNotifier notifier(&dialog);
  notifier.ReportStep(4);
  EXPECT_EQ(bar->value(), 10);
  notifier.ReportStep(40);
  EXPECT_EQ(bar->value(), 29);  // held at the end, as the Windows bar is
  EXPECT_TRUE(notifier.ShouldContinue());

  // The click waits in the event queue, as a user's would while the engine
  // computes; asking the notifier lets it through.
  ClickLater(&dialog, ids::kCancel);
  EXPECT_FALSE(notifier.ShouldContinue());
  EXPECT_EQ(dialog.StopFlag().load(), 1);
  EXPECT_EQ(FindControl<QLabel>(&dialog, ids::kFirstText)->text(), "Canceling the detection!");
  EXPECT_TRUE(dialog.isVisible());  // the viewer closes it

  // Search threads ask too; they only read the flag.
  bool answer = true;
  std::thread([&] { answer = notifier.ShouldContinue(); }).join();
  EXPECT_FALSE(answer);
}

TEST_F(ProgressDialogsTest, BatchTimesAfterNinetySecondsAndThreeOfTenFiles) {
  std::atomic<std::uint8_t> cancel{0};
  BatchProgressDialog dialog(nullptr, BatchKind::kDetection, 10, &cancel, false);
  EXPECT_EQ(dialog.windowTitle(), "Batch Detection");
  auto* estimated = FindControl<QLabel>(&dialog, ids::kEstimatedTime);
  auto* elapsed = FindControl<QLabel>(&dialog, ids::kElapsedTime);
  EXPECT_EQ(estimated->text(), "00:00");
  EXPECT_EQ(elapsed->text(), "00:00");
  for (int second = 0; second < 90; ++second) dialog.Tick();
  dialog.FileDone();
  dialog.FileDone();
  // The worker's notification blocks it until the dialog has updated.
  bool worker_done = false;
  std::thread worker([&] {
    NotifyFileDone(&dialog);
    worker_done = true;
  });
  while (FindControl<QProgressBar>(&dialog, ids::kProgressBar)->value() < 3) {
    QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
  }
  worker.join();
  EXPECT_TRUE(worker_done);
  EXPECT_EQ(estimated->text(), "05:00");
  EXPECT_EQ(elapsed->text(), "01:30");
  EXPECT_EQ(MinutesAndSeconds(100 * 60 + 5), "100:05");

  ClickLater(&dialog, ids::kCancel);
  QCoreApplication::processEvents();
  EXPECT_EQ(cancel.load(), 1);
}

}  // namespace
}  // namespace pmk::ui
