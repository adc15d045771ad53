// The whole-picture steps of a signing that come before any region is touched.
#pragma once

#include <cstdint>

#include "engine/internal/candidate_rect.h"
#include "engine/internal/checkpoints.h"
#include "image/image_record.h"

namespace pmk {

// Room the signing gives the candidate search.
inline constexpr std::uint32_t kEmbedCandidateRoom = 1000;

// Keeps every carrier (channel 0) byte of an 8-bit picture within 3..252, so
// that cell corrections of a few levels never run into 0 or 255.
void ClampCarrier(ImageRecord& image) noexcept;

// Finds the candidate regions of an 8-bit picture of at least three channels
// as a signing does: builds the check table if needed, the guide plane from
// green and red, and runs the embedding's search at scale 1 into `list`, which
// this call reserves; `checkpoints` may stop it between its passes. Returns
// the search's code, or 6 when memory runs out.
// The picture is not changed.
std::uint8_t FindEmbeddingCandidates(const ImageRecord& image, CandidateList& list,
                                     const Checkpoints& checkpoints = {}) noexcept;

}  // namespace pmk
