#include "engine/internal/candidate_search.h"

#include <algorithm>
#include <array>

#include "engine/engine.h"
#include "engine/internal/search_work.h"

namespace pmk {
namespace {

struct PairingLimits {
  std::uint32_t anchors;
  std::uint32_t partners;
};

inline constexpr PairingLimits kEmbeddingLimits{10, 40};
inline constexpr PairingLimits kDetectionLimits{12, 45};
inline constexpr int kDetectionPerClass = 2;

bool Qualifies(const Corner& a, const Corner& b) noexcept {
  return std::max(a.x, b.x) - std::min(a.x, b.x) > kMinRectangleSide &&
         std::max(a.y, b.y) - std::min(a.y, b.y) > kMinRectangleSide;
}

CandidateRect RectangleOf(const Corner& a, const Corner& b) noexcept {
  return {std::min(a.x, b.x), std::min(a.y, b.y), std::max(a.x, b.x), std::max(a.y, b.y)};
}

// 2 when the partner lies to the right (or level), plus 1 when below (or level).
int ClassOf(const Corner& anchor, const Corner& partner) noexcept {
  return 2 * (partner.x - anchor.x >= 0 ? 1 : 0) + (partner.y - anchor.y >= 0 ? 1 : 0);
}

CandidateRect WholePlane(ConstFloatPlane plane) noexcept {
  return {0.0, 0.0, static_cast<double>(plane.width), static_cast<double>(plane.height)};
}

bool IsFloatPlane(const ImageRecord& plane) noexcept {
  return plane.HasData() && plane.channels() == 1 && plane.bits() == 32;
}

// The caller's reasons only: the detection looks at its search's found slot
// as soon as the candidate search returns.
bool StopWanted(const Checkpoints& checkpoints) noexcept {
  return !checkpoints.NotifierContinues() || checkpoints.StopRequested();
}

}  // namespace

std::uint8_t MakeClampedCopy(const ImageRecord& plane, float low, float high,
                             ImageRecord& copy) noexcept {
  if (!IsFloatPlane(plane)) {
    copy.Release();
    return kResultRefused;
  }
  const std::int32_t width = plane.width();
  const std::int32_t height = plane.height();
  if (copy.Allocate(width, height, 1, 32) != kResultOk) {
    copy.Release();
    return kResultNoMemory;
  }
  for (std::int32_t y = 0; y < height; ++y) {
    const float* in = plane.Row<float>(y);
    float* out = copy.Row<float>(y);
    for (std::int32_t x = 0; x < width; ++x) {
      float v = in[x];
      if (v < low) v = low;
      if (v >= high) v = high;
      out[x] = v;
    }
  }
  return kResultOk;
}

void PairCorners(CandidateList& list, const Corner* corners, std::uint32_t count,
                 int mode) noexcept {
  const bool embedding = mode == kPairingEmbedding;
  const PairingLimits limits = embedding ? kEmbeddingLimits : kDetectionLimits;
  const std::uint32_t anchors = std::min(count, limits.anchors);
  const std::uint32_t partners = std::min(count, limits.partners);
  for (std::uint32_t i = 0; i < anchors; ++i) {
    std::array<CandidateRect, 4> slot{};
    std::array<bool, 4> filled{};
    std::array<int, 4> used{};
    for (std::uint32_t j = i; j < partners; ++j) {
      if (!Qualifies(corners[i], corners[j])) continue;
      const int cls = ClassOf(corners[i], corners[j]);
      if (embedding) {
        if (!filled[cls]) {
          slot[cls] = RectangleOf(corners[i], corners[j]);
          filled[cls] = true;
        }
      } else if (used[cls] < kDetectionPerClass) {
        list.Append(RectangleOf(corners[i], corners[j]));
        ++used[cls];
      }
    }
    if (embedding) {
      for (int cls = 0; cls < 4; ++cls) {
        if (filled[cls]) list.Append(slot[cls]);
      }
    }
  }
}

std::uint8_t RunCandidatePass(CandidateList& list, const ImageRecord& clamped, int mode,
                              double scale) noexcept {
  return RunCandidatePass(list, clamped, SampleClamp{}, mode, scale);
}

std::uint8_t RunCandidatePass(CandidateList& list, const ImageRecord& plane,
                              const SampleClamp& clamp, int mode, double scale) noexcept {
  if (!IsFloatPlane(plane)) {
    // No corner can be found on anything but a float plane.
    if (list.count() == 0) {
      list.Append(
          {0.0, 0.0, static_cast<double>(plane.width()), static_cast<double>(plane.height())});
    }
    return kResultRefused;
  }
  CornerWork work;
  return RunCandidatePass(list, FloatPlaneOf(plane), clamp, mode, scale, work);
}

namespace {

// The end of one pass once its corners are found (`found` is their search's
// result): the pairs appended to the list, and the pass's code.
std::uint8_t PairPass(CandidateList& list, ConstFloatPlane plane, std::uint8_t found,
                      const Corner* corners, std::uint32_t count, int mode) noexcept {
  if (found != kResultOk) return kResultNoMemory;
  if (count == 0) {
    if (list.count() == 0) list.Append(WholePlane(plane));
    return kResultRefused;
  }
  PairCorners(list, corners, count, mode);
  return list.count() != 0 ? kResultOk : kResultRefused;
}

}  // namespace

std::uint8_t RunCandidatePass(CandidateList& list, ConstFloatPlane plane, const SampleClamp& clamp,
                              int mode, double scale, CornerWork& work) noexcept {
  std::uint32_t count = 0;
  const std::uint8_t found = FindCorners(plane, scale, clamp, work, count);
  return PairPass(list, plane, found, work.lists[0].data(), count, mode);
}

std::uint8_t FindCandidateRects(CandidateList& list, const ImageRecord& plane, int mode,
                                double scale, const Checkpoints& checkpoints) noexcept {
  if (!IsFloatPlane(plane)) return kResultRefused;
  CornerWork work;
  return FindCandidateRects(list, FloatPlaneOf(plane), mode, scale, checkpoints, work);
}

std::uint8_t FindCandidateRects(CandidateList& list, ConstFloatPlane plane, int mode, double scale,
                                const Checkpoints& checkpoints, CornerWork& work) noexcept {
  if (!plane.HasData()) return kResultRefused;
  // Each pass clamps the tiles as it reads them, which gives the corners of a
  // clamped copy of the whole plane without making one. Both passes' corners
  // are found in one search, which reads each tile once; they are paired
  // pass by pass, with the checkpoint between them.
  const SampleClamp clamps[2] = {{kDarkLow, kDarkHigh}, {kBrightLow, kBrightHigh}};
  std::uint32_t counts[2] = {};
  std::uint8_t found[2] = {};
  FindCornersOfPasses(plane, scale, clamps, 2, work, counts, found);
  const std::uint8_t dark = PairPass(list, plane, found[0], work.lists[0].data(), counts[0], mode);
  if (dark == kResultNoMemory) return kResultNoMemory;
  if (StopWanted(checkpoints)) return kResultRefused;

  // A second pass that runs out of memory counts as a pass without result.
  const std::uint8_t bright =
      PairPass(list, plane, found[1], work.lists[1].data(), counts[1], mode);
  if (bright != kResultOk && dark == kResultRefused) {
    list.Clear();
    list.Append(WholePlane(plane));
  }
  return kResultOk;
}

}  // namespace pmk
