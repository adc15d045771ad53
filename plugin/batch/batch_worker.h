// The one worker thread of the plug-in's batch jobs.
#pragma once

#include <atomic>
#include <functional>
#include <thread>

#include "plugin/batch/batch_job.h"

namespace pmk {

// Runs at most one batch job at a time on its own std::thread. The viewer owns
// one; its destruction cancels a running job and waits for it, so nothing the
// job uses is freed under it.
class BatchWorker {
 public:
  // Called on the worker thread once the walk has ended and BatchCancel is 0
  // again. Like file_done it must not wait for the viewer's thread (post a
  // queued call instead): the viewer may be waiting in CancelAndWait.
  using FinishedCallback = std::function<void(BatchKind)>;

  BatchWorker() = default;
  BatchWorker(const BatchWorker&) = delete;
  BatchWorker& operator=(const BatchWorker&) = delete;
  ~BatchWorker() { CancelAndWait(); }

  // Clears BatchCancel and starts the job of `request`. Refused (false) while
  // a job runs: a second job never shares the first one's state.
  bool Start(BatchRequest request, FinishedCallback finished);

  bool IsRunning() const { return running_.load(); }

  // Sets BatchCancel and waits for the worker: PMKCmd finishes the file it is
  // working on, no further file is started. Returns at once when idle.
  void CancelAndWait();

 private:
  std::thread thread_;
  std::atomic<bool> running_{false};
};

}  // namespace pmk
