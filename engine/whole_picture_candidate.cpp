#include "engine/internal/whole_picture_candidate.h"

#include <algorithm>
#include <cmath>

#include "engine/internal/detect_at_scale.h"

namespace pmk {
namespace {

bool SameRect(const CandidateRect& a, const CandidateRect& b) noexcept {
  return std::fabs(a.x0 - b.x0) < kDuplicateTolerance &&
         std::fabs(a.y0 - b.y0) < kDuplicateTolerance &&
         std::fabs(a.x1 - b.x1) < kDuplicateTolerance &&
         std::fabs(a.y1 - b.y1) < kDuplicateTolerance;
}

}  // namespace

CandidateRect WholePlaneRect(std::int32_t width, std::int32_t height) noexcept {
  return CandidateRect{0.0, 0.0, static_cast<double>(width), static_cast<double>(height)};
}

bool AppendWholePicture(CandidateList& list, std::int32_t width, std::int32_t height) noexcept {
  const CandidateRect whole = WholePlaneRect(width, height);
  if (list.count() >= list.capacity()) return false;
  if (std::any_of(list.begin(), list.end(),
                  [&](const CandidateRect& rect) { return SameRect(rect, whole); })) {
    return false;
  }
  list.Append(whole);
  return true;
}

}  // namespace pmk
