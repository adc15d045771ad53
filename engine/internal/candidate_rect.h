// Candidate regions: axis-parallel rectangles in pixels of the plane they were
// found on (right and bottom are the far edges, not the last pixel).
#pragma once

#include <cstdint>

#include "image/checked_allocation.h"

namespace pmk {

struct CandidateRect {
  double x0 = 0.0;  // left
  double y0 = 0.0;  // top
  double x1 = 0.0;  // right
  double y1 = 0.0;  // bottom
};

// A fixed-capacity list of candidates: the search appends, callers start empty.
class CandidateList {
 public:
  // Obtains room for `capacity` entries and empties the list; false when the
  // memory cannot be had. A list that already has exactly that room keeps it.
  bool Reserve(std::uint32_t capacity) noexcept {
    count_ = 0;
    if (!rects_.empty() && rects_.size() == capacity) return true;
    return rects_.Allocate(capacity);
  }
  // Appends when there is room; a full list drops the entry.
  void Append(const CandidateRect& rect) noexcept {
    if (count_ < rects_.size()) rects_[count_++] = rect;
  }
  void Clear() noexcept { count_ = 0; }
  // Shortens the list (used after compacting in place).
  void SetCount(std::uint32_t count) noexcept {
    if (count <= rects_.size()) count_ = count;
  }

  std::uint32_t count() const noexcept { return count_; }
  std::uint32_t capacity() const noexcept { return static_cast<std::uint32_t>(rects_.size()); }
  CandidateRect& operator[](std::uint32_t i) noexcept { return rects_[i]; }
  const CandidateRect& operator[](std::uint32_t i) const noexcept { return rects_[i]; }
  CandidateRect* begin() noexcept { return rects_.data(); }
  CandidateRect* end() noexcept { return rects_.data() + count_; }
  const CandidateRect* begin() const noexcept { return rects_.data(); }
  const CandidateRect* end() const noexcept { return rects_.data() + count_; }

 private:
  HeapArray<CandidateRect> rects_;
  std::uint32_t count_ = 0;
};

}  // namespace pmk
