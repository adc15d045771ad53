// The viewer's batch commands and the JPEG survival check.
#include <QAction>
#include <QComboBox>
#include <QGuiApplication>
#include <array>

#include "image/picture_buffer_ops.h"
#include "plugin/dialogs/qt_path.h"
#include "plugin/viewer/batch_command.h"
#include "plugin/viewer/jpeg_check_dialog.h"
#include "plugin/viewer/view_drawing.h"
#include "plugin/viewer/viewer_commands.h"
#include "plugin/viewer/viewer_window.h"

namespace pmk::ui {

namespace {

// The commands that would read or change the picture while a job keeps it.
constexpr std::array kOffDuringBatch = {kCommandZoomIn,  kCommandZoomOut, kCommandZoom100,
                                        kCommandZoomFit, kCommandSign,    kCommandDetect};

}  // namespace

void ViewerWindow::RunBatch(BatchKind kind) {
  BatchViewerHooks hooks;
  hooks.job_started = [this] { BeginBatch(); };
  hooks.job_ended = [this] { EndBatch(); };
  StartBatchCommand(this, kind, batch_worker_, PathFromQString(PluginFolder()), std::move(hooks));
}

void ViewerWindow::CheckJpegSurvival() {
  if (!HasImage()) return;
  RunJpegCheckDialog(this, image_);
}

void ViewerWindow::BeginBatch() {
  for (const int id : kOffDuringBatch) {
    if (QAction* action = CommandAction(id)) action->setEnabled(false);
  }
  zoom_box_->setEnabled(false);
  busy_ = true;
  picture_buffer::CopyWhole(kept_, image_);
  QGuiApplication::setOverrideCursor(Qt::WaitCursor);
}

void ViewerWindow::EndBatch() {
  for (const int id : kOffDuringBatch) {
    if (QAction* action = CommandAction(id)) action->setEnabled(true);
  }
  QGuiApplication::restoreOverrideCursor();
  if (kept_.HasData()) picture_buffer::CopyWhole(image_, kept_);
  kept_.Release();
  busy_ = false;
  zoom_box_->setEnabled(HasImage());
  RedrawFromImage();
  setFocus();
}

}  // namespace pmk::ui
