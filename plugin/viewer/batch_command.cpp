#include "plugin/viewer/batch_command.h"

#include <QFileDialog>
#include <cstring>

#include "engine/engine.h"
#include "plugin/batch/batch_cancel.h"
#include "plugin/dialogs/plugin_settings.h"
#include "plugin/dialogs/qt_path.h"
#include "plugin/dialogs/sign_dialog.h"
#include "plugin/viewer/batch_progress_dialog.h"
#include "plugin/viewer/batch_viewer_bridge.h"

namespace pmk::ui {

bool StartBatchCommand(QWidget* viewer, BatchKind kind, BatchWorker& worker,
                       const std::filesystem::path& plugin_folder, BatchViewerHooks hooks) {
  if (worker.IsRunning()) return false;
  const QString folder = QFileDialog::getExistingDirectory(viewer, QString(), ReadLatestFolder());
  if (folder.isEmpty()) return false;
  const PluginSettings& settings = CurrentSettings();
  const std::uint32_t count = CountImagesInTree(PathFromQString(folder), settings.recursive, kind);
  WriteLatestFolder(folder);

  BatchRequest request;
  request.kind = kind;
  request.folder = PathFromQString(folder);
  request.recursive = settings.recursive;
  if (kind == BatchKind::kSigning) {
    SignPayloadBuffer payload{};
    if (RunSignDialog(viewer, /*with_quality=*/true, payload) != 1) return false;
    // The dialog hands over the payload text: the signature follows the prefix.
    const char* signature = payload.data() + kPayloadSignatureStart;
    request.signature.assign(signature,
                             strnlen(signature, payload.size() - kPayloadSignatureStart));
  }
  request.pmk_cmd = {plugin_folder, settings.cores_in_use, settings.jpeg_quality,
                     settings.robust_sign, settings.web_layer};

  auto* progress = new BatchProgressDialog(viewer, kind, static_cast<int>(count), &BatchCancel);
  progress->show();
  request.file_done = [progress] { PostTo(progress, [progress] { progress->FileDone(); }); };

  if (hooks.job_started) hooks.job_started();
  auto finished = [viewer, progress, job_ended = hooks.job_ended](BatchKind ended) {
    PostTo(viewer, [viewer, progress, job_ended, ended] {
      delete progress;
      if (job_ended) job_ended();
      ShowBatchEndMessage(viewer, ended);
    });
  };
  if (!worker.Start(std::move(request), std::move(finished))) {
    delete progress;
    if (hooks.job_ended) hooks.job_ended();
    return false;
  }
  return true;
}

}  // namespace pmk::ui
