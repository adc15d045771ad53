// Candidate regions: pairs of strong corners far apart in both directions.
//
// The search runs twice, on a dark and a bright version of the guide plane,
// so that corners in shadows and in highlights both count. Embedding (mode 0)
// and detection (mode 1) pair the same corners differently: detection keeps
// more rectangles so that a slightly moved corner still yields a match.
#pragma once

#include <cstdint>

#include "engine/engine.h"
#include "engine/internal/candidate_rect.h"
#include "engine/internal/checkpoints.h"
#include "engine/internal/corner_finder.h"
#include "image/image_record.h"

namespace pmk {

inline constexpr int kPairingEmbedding = 0;
inline constexpr int kPairingDetection = 1;
// Both sides of a rectangle must be longer than this.
inline constexpr double kMinRectangleSide = 320.0;

inline constexpr float kDarkLow = 0.0f;
inline constexpr float kDarkHigh = 128.0f;
inline constexpr float kBrightLow = 128.0f;
inline constexpr float kBrightHigh = 256.0f;

// Copies a one-channel float plane into `copy`, with samples below `low`
// raised to `low` and samples of `high` or more lowered to `high`.
// Returns 0, 6 when the copy cannot be had, 1 when `plane` is not a
// one-channel float plane.
std::uint8_t MakeClampedCopy(const ImageRecord& plane, float low, float high,
                             ImageRecord& copy) noexcept;

// Pairs corners (strongest first) into rectangles and appends them to `list`.
// Mode 0 keeps at most one rectangle per direction class and anchor, mode 1
// (any other value) at most two.
void PairCorners(CandidateList& list, const Corner* corners, std::uint32_t count,
                 int mode) noexcept;

// One pass on an already clamped plane: corners, then pairing. Returns 6 when
// the corners cannot be found for lack of memory; 1 when the list ends the
// pass empty, or when no corner was found at all (the whole plane is then
// appended if the list was empty); else 0.
std::uint8_t RunCandidatePass(CandidateList& list, const ImageRecord& clamped, int mode,
                              double scale) noexcept;
// The same on `plane` as `clamp` brings it (see FindCorners).
std::uint8_t RunCandidatePass(CandidateList& list, const ImageRecord& plane,
                              const SampleClamp& clamp, int mode, double scale) noexcept;

// Appends the candidate rectangles of a one-channel float plane to `list`
// (which the caller has reserved). Returns 0 done, 1 stopped between the
// passes (the first pass's rectangles stay), 6 not enough memory (the list as
// it was). The plane is never changed; anything but a one-channel float
// plane is refused with 1.
std::uint8_t FindCandidateRects(CandidateList& list, const ImageRecord& plane, int mode,
                                double scale, const Checkpoints& checkpoints) noexcept;

// The same two passes on a float plane seen through a view, with the corner
// search's buffers kept in `work` (search_work.h) from one call to the next.
std::uint8_t RunCandidatePass(CandidateList& list, ConstFloatPlane plane, const SampleClamp& clamp,
                              int mode, double scale, CornerWork& work) noexcept;
std::uint8_t FindCandidateRects(CandidateList& list, ConstFloatPlane plane, int mode, double scale,
                                const Checkpoints& checkpoints, CornerWork& work) noexcept;

}  // namespace pmk
