#include "plugin/batch/batch_worker.h"

#include <utility>

#include "plugin/batch/batch_cancel.h"

namespace pmk {

bool BatchWorker::Start(BatchRequest request, FinishedCallback finished) {
  if (running_.load()) return false;
  // A finished worker may still be returning from its callback.
  if (thread_.joinable()) thread_.join();
  BatchCancel.store(0);
  running_.store(true);
  try {
    thread_ = std::thread([this, request = std::move(request), finished = std::move(finished)] {
      if (request.kind == BatchKind::kSigning) {
        RunBatchSigning(request);
      } else {
        RunBatchDetection(request);
      }
      BatchCancel.store(0);
      running_.store(false);
      if (finished) finished(request.kind);
    });
  } catch (...) {
    // No thread could be had: there is no job to wait for.
    running_.store(false);
    return false;
  }
  return true;
}

void BatchWorker::CancelAndWait() {
  if (!thread_.joinable()) return;
  if (running_.load()) BatchCancel.store(1);
  thread_.join();
  BatchCancel.store(0);
}

}  // namespace pmk
