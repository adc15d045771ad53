// The viewer's batch commands (32779 batch signing, 32781 batch detection)
// from the folder choice to the end message.
#pragma once

#include <filesystem>
#include <functional>

#include "plugin/batch/batch_job.h"
#include "plugin/batch/batch_worker.h"

class QWidget;

namespace pmk::ui {

// What the viewer does around a job, both on its own thread.
struct BatchViewerHooks {
  // The job is about to start: disable the zoom, sign and detect buttons, set
  // the busy flag, keep a copy of the picture, show the wait cursor.
  std::function<void()> job_started;
  // The job has ended (before the end message): enable the buttons again,
  // put the kept copy back, redraw, clear the busy flag, arrow cursor.
  std::function<void()> job_ended;
};

// Runs the command: refuses while `worker` has a job; asks for the folder
// (starting at "Latest Folder", which it then stores), counts the pictures,
// asks batch signing's signature and quality (dialog 159), opens the progress
// dialog and starts the job with the settings' cores, quality and recursion.
// PMKCmd is taken from plugin_folder/pmk_cmd. When the job ends the progress
// dialog goes, job_ended runs and the end message is shown over the viewer.
// Returns whether a job was started.
//
// Notifications reach the viewer's thread as queued calls; the worker never
// waits for that thread, so the viewer may close with worker.CancelAndWait()
// (at the start of its destruction, before the picture goes back to the host).
bool StartBatchCommand(QWidget* viewer, BatchKind kind, BatchWorker& worker,
                       const std::filesystem::path& plugin_folder, BatchViewerHooks hooks);

}  // namespace pmk::ui
