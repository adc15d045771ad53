// Lending the cores the scale search leaves idle to the work of one scale.
//
// The control's thread count says how many threads one operation may keep
// busy; the operation's CorePool keeps that count and how many of them are
// busy now. The threaded search keeps one per thread, each on its own scale.
// Whenever fewer are busy (a picture too large for the threaded search, a
// signing, the check of a freshly written file, the last scales of a threaded
// search), ParallelFor
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

// Most threads one operation keeps busy, the calling thread included.
inline constexpr int kMostThreads = 24;

// The cores of one operation: its limit (the control's thread count, kept
// between 1 and 24) and the number of its threads busy now.
class CorePool {
 public:
  explicit CorePool(int limit) noexcept : limit_(std::clamp(limit, 1, kMostThreads)) {}
  CorePool(const CorePool&) = delete;
  CorePool& operator=(const CorePool&) = delete;

  int limit() const noexcept { return limit_; }
  std::atomic<int>& busy() noexcept { return busy_; }

 private:
  const int limit_;
  std::atomic<int> busy_{0};
};

// Makes `pool` the calling thread's pool while it lives; the helpers a thread
// starts take its pool with them. A thread outside any pool has no cores to
// lend: it does all its work itself.
class CorePoolScope {
 public:
  explicit CorePoolScope(CorePool& pool) noexcept;
  ~CorePoolScope();
  CorePoolScope(const CorePoolScope&) = delete;
  CorePoolScope& operator=(const CorePoolScope&) = delete;

 private:
  CorePool* saved_pool_;
  bool saved_counted_;
};

// A pool of `threads` cores made the calling thread's: what each of the
// engine's entries opens for its call.
class OperationCores {
 public:
  explicit OperationCores(int threads) noexcept : pool_(threads), scope_(pool_) {}

 private:
  CorePool pool_;
  CorePoolScope scope_;
};

// The calling thread's pool, or none.
CorePool* CurrentCorePool() noexcept;
// The limit of the calling thread's pool; 1 outside any pool.
int ThreadLimit() noexcept;

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
  CorePool* counted_in_ = nullptr;  // the pool that counts this thread, if this object did
};

// How many more threads could start now without exceeding the pool's limit,
// counting the calling thread as busy.
int IdleCores() noexcept;

// Reserves up to `wanted` idle cores of the calling thread's pool and returns
// how many it got (maybe 0); ReleaseCores gives them back.
int ReserveIdleCores(int wanted) noexcept;
void ReleaseCores(int count) noexcept;

// Marks a helper thread started on a reserved core of `pool` (its starter's),
// so that work it splits further shares that pool and does not count it again.
void MarkHelperThread(CorePool* pool) noexcept;

// Counts `count` threads about to be started as busy before they start (each
// calls MarkHelperThread first and ReleaseCores(1) when its work is done).
void ClaimCores(int count) noexcept;

// Most threads one ParallelFor runs on, the calling thread included.
inline constexpr int kMostParallelThreads = kMostThreads;

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
  CorePool* const pool = CurrentCorePool();
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
      threads[started] = std::thread([&work, pool, worker = started + 1] {
        MarkHelperThread(pool);
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
