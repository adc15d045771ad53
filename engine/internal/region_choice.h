// Picking the candidate rectangles that will carry the payload.
#pragma once

#include <cstdint>

#include "engine/internal/candidate_rect.h"

namespace pmk {

// Which regions a signing prefers. The classic choice keeps the smallest,
// which changes the fewest pixels; larger regions keep more of the mark
// through JPEG and rescaling. Detection proposes both, so either reads back.
// Both keep the inner of nested candidates: measured on photographs, taking
// the outer one gained a few JPEG and downscaling finds but lost pictures
// after enlargement that the inner one kept.
enum class RegionPreference : std::uint8_t { kSmaller, kLarger };

// Of nested candidates keeps the innermost and drops the others; of identical
// ones the earliest stays. The survivors keep their order.
void RemoveNestedCandidates(CandidateList& list) noexcept;

// True when `a` and `b` share no area (touching edges still counts as
// disjoint).
bool CandidatesDisjoint(const CandidateRect& a, const CandidateRect& b) noexcept;

// True when more than 40 pixels separate `a` and `b` in x or in y.
bool CandidatesApart(const CandidateRect& a, const CandidateRect& b) noexcept;

// Chooses up to five candidates: the first two disjoint, every further one
// apart from all chosen before it, as many as possible and, among those, the
// combination of smallest total area (kLarger: largest), the first of equal
// ones. The chosen
// rectangles move to the front of the list in the order of the combination and
// the count becomes their number. An empty list stays empty. Returns 0, or 6
// when a working list cannot be obtained (the list is then unchanged).
std::uint8_t ChooseRegions(CandidateList& list,
                           RegionPreference preference = RegionPreference::kSmaller) noexcept;

}  // namespace pmk
