// What an operation consults at its checkpoints.
//
// The caller's notifier and stop flag come from its EngineControl. Inside a
// threaded search there is a third reason to stop: the slot in which the
// search thread that found the signature records its number, so that the
// others give up their scales. The slot belongs to that one search; nothing
// outside it can see or reset it.
#pragma once

#include <atomic>
#include <cstdint>

#include "engine/engine.h"

namespace pmk {

struct Checkpoints {
  Checkpoints() = default;
  // A notifier alone, or none: what the stage tests and tools pass.
  Checkpoints(ProgressNotifier* notifier) noexcept : notifier(notifier) {}  // NOLINT: implicit
  Checkpoints(ProgressNotifier* notifier, const std::atomic<std::int32_t>* stop,
              const std::atomic<std::int32_t>* found_slot = nullptr) noexcept
      : notifier(notifier), stop(stop), found_slot(found_slot) {}

  ProgressNotifier* notifier = nullptr;
  // The caller's flag: nonzero asks to stop.
  const std::atomic<std::int32_t>* stop = nullptr;
  // -1 while no search thread has found the signature, else that thread's number.
  const std::atomic<std::int32_t>* found_slot = nullptr;

  void Report(std::int32_t step) const {
    if (notifier != nullptr) notifier->ReportStep(step);
  }
  // The notifier's answer; true without one.
  bool NotifierContinues() const { return notifier == nullptr || notifier->ShouldContinue(); }
  bool StopRequested() const noexcept { return stop != nullptr && stop->load() != 0; }
  bool Found() const noexcept { return found_slot != nullptr && found_slot->load() >= 0; }
  // The flags alone, for threads that must not call the notifier.
  bool Flagged() const noexcept { return StopRequested() || Found(); }
  // Any reason to stop, the notifier asked first.
  bool StopAsked() const { return !NotifierContinues() || Flagged(); }
};

}  // namespace pmk
