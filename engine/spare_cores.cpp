#include "engine/internal/spare_cores.h"

#include <algorithm>

#include "engine/engine.h"

namespace pmk {
namespace {

constexpr int kMostThreads = 24;

// The engine's threads that are busy now: search threads, threads splitting
// a scale, and the helpers they lent cores to.
std::atomic<int> g_busy{0};
thread_local bool t_counted = false;

int ThreadLimit() noexcept {
  const int cores = CoreCount.load();
  return std::clamp(cores, 1, kMostThreads);
}

}  // namespace

BusyThread::BusyThread() noexcept {
  if (t_counted) return;
  t_counted = true;
  counted_ = true;
  g_busy.fetch_add(1);
}

BusyThread::~BusyThread() {
  if (!counted_) return;
  g_busy.fetch_sub(1);
  t_counted = false;
}

int IdleCores() noexcept {
  const int busy = g_busy.load() + (t_counted ? 0 : 1);
  return std::max(ThreadLimit() - busy, 0);
}

int ReserveIdleCores(int wanted) noexcept {
  if (wanted <= 0) return 0;
  const int self = t_counted ? 0 : 1;
  int busy = g_busy.load();
  for (;;) {
    const int granted = std::min(wanted, ThreadLimit() - busy - self);
    if (granted <= 0) return 0;
    if (g_busy.compare_exchange_weak(busy, busy + granted)) return granted;
  }
}

void ReleaseCores(int count) noexcept {
  if (count > 0) g_busy.fetch_sub(count);
}

void MarkHelperThread() noexcept {
  t_counted = true;
}

void ClaimCores(int count) noexcept {
  if (count > 0) g_busy.fetch_add(count);
}

}  // namespace pmk
