// Reading the mark at one assumed scale.
//
// The picture is brought to the scale, regions are found again on its
// green-red plane, and each region's 16 x 16 cells are read from the smoothed
// blue channel and decoded. The first region whose payload is valid wins; the
// search driver calls this once per scale, on several threads at once.
#pragma once

#include <array>
#include <cstdint>

#include "engine/engine.h"
#include "engine/internal/candidate_rect.h"
#include "engine/internal/checkpoints.h"
#include "engine/internal/payload_cells.h"
#include "engine/internal/plane_view.h"
#include "engine/internal/search_work.h"
#include "engine/internal/spare_cores.h"
#include "image/image_record.h"

namespace pmk {

// Rescaled areas above this many pixels are refused before anything is
// allocated.
inline constexpr double kMaxRescaledPixels = 200'000'000.0;
// Candidates whose four coordinates all differ by less than this are the same.
inline constexpr double kDuplicateTolerance = 1e-5;
// Room in the candidate list of one detection.
inline constexpr std::uint32_t kDetectCandidateCapacity = 10000;

// Watches the candidates a detection decodes, in the order it decodes them.
class DetectTrace {
 public:
  virtual ~DetectTrace() = default;
  // `rect` is in pixels of the rescaled picture; `payload` is what its cells
  // read back as, accepted or not.
  virtual void CandidateTried(const CandidateRect& rect,
                              const DecodedPayload& payload) noexcept = 0;
  // Called before any candidate is decoded when the whole picture `rect` was
  // added after the search's candidates (whole_picture_candidate.h).
  virtual void WholePictureAdded(const CandidateRect& /*rect*/) noexcept {}
};

// Blanks every entry that repeats an earlier one (all coordinates within
// kDuplicateTolerance) and compacts the list, keeping the order.
void RemoveDuplicateCandidates(CandidateList& list) noexcept;

// Removes duplicates from `list` and reads each remaining candidate's cells
// from `smoothed` (the low-pass filtered blue plane of the rescaled picture,
// one float channel). Returns 0 with the payload in `output_text` (1024 bytes)
// at the first valid one, 1 when none is valid or `checkpoints` asked to stop,
// 6 when memory runs out. After a failure the text holds the last payload
// decoded.
std::uint8_t DecodeCandidates(const ImageRecord& smoothed, CandidateList& list, char* output_text,
                              const Checkpoints& checkpoints, DetectTrace* trace) noexcept;

// The same on a plane seen through a view, with the cell masks and
// measurements kept in `work` from one call to the next.
std::uint8_t DecodeCandidates(ConstFloatPlane smoothed, CandidateList& list, char* output_text,
                              const Checkpoints& checkpoints, DetectTrace* trace,
                              CellReadingWork& work) noexcept;

// Looks for a signature in `image` (three 8-bit channels, blue green red) as if
// it had been rescaled by 1/`scale` after signing. The search's candidates are
// read first, then the whole rescaled picture unless they include it. Returns
// 0 with the 18 payload characters at the start of the zero-filled 1024-byte
// `output_text`;
// 1 when nothing is found, when stopped (by the notifier, the stop flag, or
// another thread of the search filling its found slot), when the rescaled
// area is above the cap, or
// for a picture of any other layout; 6 when memory runs out. `trace`, when
// given, sees every candidate decoded.
std::uint8_t DetectAtScale(const ImageRecord& image, char* output_text, double scale,
                           const Checkpoints& checkpoints, DetectTrace* trace = nullptr) noexcept;

// The same with the working memory of `workspace` (search_work.h), which a
// search thread keeps for all its scales. Results are those of the call above.
struct DetectWorkspace;
std::uint8_t DetectAtScale(const ImageRecord& image, char* output_text, double scale,
                           const Checkpoints& checkpoints, DetectTrace* trace,
                           DetectWorkspace& workspace) noexcept;

}  // namespace pmk
