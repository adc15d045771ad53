// The whole picture as one more candidate of every detection.
//
// A signing whose own pairing finds no corner pair signs the whole plane. The
// detection pairs the same corners more widely, so it may find pairs in that
// very picture, or in a copy enlarged or compressed hard enough to gain one,
// and then never looks at the whole plane where the cells are. Reading the
// whole plane last, after the search's own candidates, finds those pictures
// and leaves the order in which every other picture is read unchanged.
#pragma once

#include <cstdint>

#include "engine/internal/candidate_rect.h"

namespace pmk {

// The rectangle of a whole plane of `width` x `height` pixels.
CandidateRect WholePlaneRect(std::int32_t width, std::int32_t height) noexcept;

// Appends the whole plane to `list` unless the list already holds it (all four
// coordinates within the duplicate tolerance) or has no room left. Returns
// true when it was appended.
bool AppendWholePicture(CandidateList& list, std::int32_t width, std::int32_t height) noexcept;

}  // namespace pmk
