// Heap memory that reports failure instead of throwing.
//
// The engine must turn every failed allocation into result code 6 and keep
// going, so nothing below throws std::bad_alloc. Every buffer of the system is
// obtained through TryAllocate, which also gives tests one place to make the
// N-th allocation fail.
#pragma once

#include <cstddef>
#include <cstdint>
#include <utility>

namespace pmk {

// Blocks from this size on are backed by huge pages where the system offers
// them on request (Linux's transparent huge pages in "madvise" mode).
inline constexpr std::size_t kLargeBlockBytes = std::size_t{8} << 20;

// Returns nullptr when the memory cannot be had (or a test asked for a failure).
void* TryAllocate(std::size_t bytes) noexcept;
void Deallocate(void* block) noexcept;

// Test seam: after ArmAllocationFailure(n), the n-th following allocation
// (counting from 1) fails, once. n = 0 disarms. AllocationCount() tells how many
// allocations were made since the last arming, so a test can walk n = 1, 2, ...
// until a run completes without reaching its failure.
void ArmAllocationFailure(std::int64_t n) noexcept;
std::int64_t AllocationCount() noexcept;
bool AllocationFailureTriggered() noexcept;

// An owned array of trivially copyable T whose allocation can fail.
template <class T>
class HeapArray {
 public:
  HeapArray() = default;
  HeapArray(const HeapArray&) = delete;
  HeapArray& operator=(const HeapArray&) = delete;
  HeapArray(HeapArray&& other) noexcept
      : data_(std::exchange(other.data_, nullptr)), count_(std::exchange(other.count_, 0)) {}
  HeapArray& operator=(HeapArray&& other) noexcept {
    if (this != &other) {
      Release();
      data_ = std::exchange(other.data_, nullptr);
      count_ = std::exchange(other.count_, 0);
    }
    return *this;
  }
  ~HeapArray() { Release(); }

  // Replaces the contents with `count` uninitialised elements. False (and an
  // empty array) when the memory cannot be had or the byte count overflows.
  bool Allocate(std::size_t count) noexcept {
    Release();
    if (count > SIZE_MAX / sizeof(T)) return false;
    data_ = static_cast<T*>(TryAllocate(count * sizeof(T)));
    if (data_ == nullptr) return false;
    count_ = count;
    return true;
  }

  // Keeps the first min(old, new) elements.
  bool Resize(std::size_t count) noexcept {
    HeapArray grown;
    if (!grown.Allocate(count)) return false;
    for (std::size_t i = 0; i < count && i < count_; ++i) grown.data_[i] = data_[i];
    *this = std::move(grown);
    return true;
  }

  void Release() noexcept {
    Deallocate(data_);
    data_ = nullptr;
    count_ = 0;
  }

  T* data() noexcept { return data_; }
  const T* data() const noexcept { return data_; }
  std::size_t size() const noexcept { return count_; }
  bool empty() const noexcept { return data_ == nullptr; }
  T& operator[](std::size_t i) noexcept { return data_[i]; }
  const T& operator[](std::size_t i) const noexcept { return data_[i]; }
  T* begin() noexcept { return data_; }
  T* end() noexcept { return data_ + count_; }
  const T* begin() const noexcept { return data_; }
  const T* end() const noexcept { return data_ + count_; }

 private:
  T* data_ = nullptr;
  std::size_t count_ = 0;
};

}  // namespace pmk
