#include "plugin/viewer/batch_command.h"

#include <gtest/gtest.h>

#include <QFileDialog>
#include <QWidget>
#include <chrono>
#include <thread>

#include "plugin/dialogs/plugin_settings.h"
#include "support/dialog_driving.h"
#include "support/qt_app.h"
#include "support/stand_in_plugin_folder.h"

namespace pmk {
namespace {

namespace fs = std::filesystem;

// Batch detection from the command to the end message, with the stand-in for
// PMKCmd: folder dialog, progress dialog, hooks in order, "Latest Folder".
TEST(BatchCommand, DetectionFromFolderChoiceToEndMessage) {
  testing::TestApplication();
  testing::TempFolder settings_home;
  setenv("XDG_CONFIG_HOME", settings_home.path().c_str(), 1);
  ui::CurrentSettings() = ui::PluginSettings{};
  ui::CurrentSettings().recursive = false;
  ui::CurrentSettings().cores_in_use = 3;
  testing::PluginFolder plugin(testing::kStandInProgram);
  testing::TempFolder photos;
  for (const char* name : {"a.jpg", "b.png"}) testing::WriteBytes(photos / name, "x");

  QWidget viewer;
  BatchWorker worker;
  std::vector<std::string> events;
  const ui::BatchViewerHooks hooks{[&] { events.push_back("started"); },
                                   [&] { events.push_back("ended"); }};
  ui::WithModalHandlers(
      [&] {
        ASSERT_TRUE(
            ui::StartBatchCommand(&viewer, BatchKind::kDetection, worker, plugin.path(), hooks));
        // A second command while the job runs is refused without a dialog.
        EXPECT_FALSE(
            ui::StartBatchCommand(&viewer, BatchKind::kSigning, worker, plugin.path(), hooks));
        while (events.size() < 2) {
          QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
          std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
      },
      {[&](QWidget* modal) {
         auto* chooser = qobject_cast<QFileDialog*>(modal);
         ASSERT_NE(chooser, nullptr);
         chooser->setDirectory(QString::fromStdString(photos.path().string()));
         QTimer::singleShot(0, chooser,
                            [chooser] { QMetaObject::invokeMethod(chooser, "accept"); });
       },
       [&](QWidget* modal) {
         EXPECT_EQ(ui::MessageText(modal).toStdString(),
                   "Batch detecting was successfully finished! You can find results in file "
                   "detecting_output.log in chosen folder.");
         QTimer::singleShot(0, modal, &QWidget::close);
       }});

  EXPECT_EQ(events, (std::vector<std::string>{"started", "ended"}));
  const auto record = plugin.Record();
  ASSERT_EQ(record.runs.size(), 2u);
  EXPECT_EQ(record.runs[0][1], "3");
  EXPECT_EQ(ui::ReadLatestFolder().toStdString(), photos.path().string());
  EXPECT_TRUE(viewer.findChildren<QDialog*>().isEmpty());  // the progress dialog went
}

}  // namespace
}  // namespace pmk
