// Lending the cores the scale search leaves idle to the work of one scale.
//
// CoreCount says how many threads the engine may keep busy. The threaded
// search keeps one per thread, each on its own scale. Whenever fewer are busy
// (a picture too large for the threaded search, a signing, the check of a
// freshly written file, the last scales of a threaded search), ParallelFor
// splits the parts of a scale that divide cleanly (rows of a resampling,
// tiles of the corner search, bands of the smoothing, candidates) over the
// idle cores. Every part writes only its own results, so the outcome is the
// same however many cores took part.
#pragma once

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <thread>

namespace pmk {

// Marks the calling thread as one of the engine's busy threads while it
// lives; a thread that is already marked is not counted twice. The search
// threads hold one each, so that no scale borrows a core another scale uses.
class BusyThread {
 public:
  BusyThread() noexcept;
  ~BusyThread();
  BusyThread(const BusyThread&) = delete;
  BusyThread& operator=(const BusyThread&) = delete;

 private:
  bool counted_ = false;
};

// How many more threads could start now without exceeding CoreCount, counting
// the calling thread as busy.
int IdleCores() noexcept;

// Reserves up to `wanted` idle cores and returns how many it got (maybe 0);
// ReleaseCores gives them back.
int ReserveIdleCores(int wanted) noexcept;
void ReleaseCores(int count) noexcept;

// Marks a helper thread started on a reserved core, so that work it splits
// further does not count it again.
void MarkHelperThread() noexcept;

// Counts `count` threads about to be started as busy before they start (each
// calls MarkHelperThread first and ReleaseCores(1) when its work is done).
void ClaimCores(int count) noexcept;

// Most threads one ParallelFor runs on, the calling thread included.
inline constexpr int kMostParallelThreads = 24;

// Runs body(i, worker) for every i in [0, count) on the calling thread (worker
// 0) and on as many idle cores as there are (workers 1, 2, ...; never more
// than count - 1), taking indices in increasing order as each thread becomes
// free, and returns once all are done. A worker number is never used by two
// threads at once, so it can pick per-thread buffers. When no core is idle,
// or no thread can be started, the calling thread does it all. `body` must
// not throw.
template <class Body>
void ParallelFor(std::int32_t count, Body&& body) noexcept {
  if (count <= 0) return;
  const BusyThread self;
  const int helpers =
      count > 1 ? ReserveIdleCores(std::min(count - 1, kMostParallelThreads - 1)) : 0;
  std::atomic<std::int32_t> next{0};
  const auto work = [&](int worker) noexcept {
    for (std::int32_t i = next.fetch_add(1); i < count; i = next.fetch_add(1)) body(i, worker);
  };
  std::thread threads[kMostParallelThreads - 1];
  int started = 0;
  for (; started < helpers; ++started) {
    try {
      threads[started] = std::thread([&work, worker = started + 1] {
        MarkHelperThread();
        work(worker);
      });
    } catch (...) {
      // No thread to be had: the threads already running share the work.
      break;
    }
  }
  ReleaseCores(helpers - started);
  work(0);
  for (int t = 0; t < started; ++t) threads[t].join();
  ReleaseCores(started);
}

}  // namespace pmk
