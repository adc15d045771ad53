#include "plugin/batch/batch_viewer_bridge.h"

#include <gtest/gtest.h>

#include <QMetaObject>
#include <chrono>
#include <thread>

#include "plugin/batch/batch_cancel.h"
#include "plugin_batch/qt_app.h"
#include "plugin_batch/stand_in_plugin.h"

namespace pmk {
namespace {

// The viewer closes while the worker waits in a file-done notification that
// needs the viewer's thread: the close must neither hang nor start a file.
TEST(BatchViewerBridge, CloseWhileWorkerWaitsForTheViewer) {
  testing::App();
  testing::PluginFolder plugin(testing::kStandInProgram, /*delay_ms=*/200);
  testing::TempFolder photos;
  for (const char* name : {"1.png", "2.png", "3.png"}) testing::WriteBytes(photos / name, "x");
  QObject progress;
  int files_done = 0;
  BatchRequest request;
  request.folder = photos.path();
  request.pmk_cmd = {plugin.path(), 1, 90};
  request.file_done = [&] {
    QMetaObject::invokeMethod(
        &progress, [&] { ++files_done; }, Qt::BlockingQueuedConnection);
  };
  bool finished = false;
  BatchWorker worker;
  ASSERT_TRUE(
      worker.Start(request, [&](BatchKind) { ui::PostTo(&progress, [&] { finished = true; }); }));
  // Let the first file end and the worker block in its notification.
  std::this_thread::sleep_for(std::chrono::milliseconds(400));

  ui::CancelBatchAndWait(worker);
  EXPECT_FALSE(worker.IsRunning());
  EXPECT_EQ(files_done, 1);
  EXPECT_EQ(plugin.Record().runs.size(), 1u);
  EXPECT_EQ(BatchCancel.load(), 0);
  QCoreApplication::processEvents();
  EXPECT_TRUE(finished);
}

}  // namespace
}  // namespace pmk
