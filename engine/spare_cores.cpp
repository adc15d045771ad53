#include "engine/internal/spare_cores.h"

#include <algorithm>

namespace pmk {
namespace {

// The pool of the operation the calling thread works for, and whether the
// thread is counted among its busy threads.
thread_local CorePool* t_pool = nullptr;
thread_local bool t_counted = false;

}  // namespace

CorePoolScope::CorePoolScope(CorePool& pool) noexcept
    : saved_pool_(t_pool), saved_counted_(t_counted) {
  t_pool = &pool;
  t_counted = false;
}

CorePoolScope::~CorePoolScope() {
  t_pool = saved_pool_;
  t_counted = saved_counted_;
}

CorePool* CurrentCorePool() noexcept {
  return t_pool;
}

int ThreadLimit() noexcept {
  return t_pool != nullptr ? t_pool->limit() : 1;
}

BusyThread::BusyThread() noexcept {
  if (t_counted || t_pool == nullptr) return;
  t_counted = true;
  counted_in_ = t_pool;
  counted_in_->busy().fetch_add(1);
}

BusyThread::~BusyThread() {
  if (counted_in_ == nullptr) return;
  counted_in_->busy().fetch_sub(1);
  t_counted = false;
}

int IdleCores() noexcept {
  if (t_pool == nullptr) return 0;
  const int busy = t_pool->busy().load() + (t_counted ? 0 : 1);
  return std::max(t_pool->limit() - busy, 0);
}

int ReserveIdleCores(int wanted) noexcept {
  if (wanted <= 0 || t_pool == nullptr) return 0;
  const int self = t_counted ? 0 : 1;
  std::atomic<int>& busy_count = t_pool->busy();
  int busy = busy_count.load();
  for (;;) {
    const int granted = std::min(wanted, t_pool->limit() - busy - self);
    if (granted <= 0) return 0;
    if (busy_count.compare_exchange_weak(busy, busy + granted)) return granted;
  }
}

void ReleaseCores(int count) noexcept {
  if (count > 0 && t_pool != nullptr) t_pool->busy().fetch_sub(count);
}

void MarkHelperThread(CorePool* pool) noexcept {
  t_pool = pool;
  t_counted = true;
}

void ClaimCores(int count) noexcept {
  if (count > 0 && t_pool != nullptr) t_pool->busy().fetch_add(count);
}

}  // namespace pmk
