// The web layer: the signature carried a second time, at the scale of the
// whole picture, so that it survives shrinking for the web, JPEG, mild crops,
// sharpening, contrast changes and right-angle turns.
//
// Signing: the canonical picture's band (web_canonical, web_dct) is projected
// on the keyed directions (web_directions); each projection is moved onto the
// lattice coset of its coded bit (web_code), the lattice step following the
// band's own level of detail so that a change of gain moves lattice and
// projection together. The change is shaped by the picture (less in flat
// areas, nothing at the canonical picture's border) while keeping every
// projection where it was put, enlarged to the picture's size and added to
// green and red with random rounding; blue, which carries the text's mark,
// is left alone.
//
// Reading: the same canonical band under every crop hypothesis and
// orientation, fewest pixels missing first; the first hypothesis whose
// decoded bits hold their 48-bit check and spell a signature wins.
#pragma once

#include <cstdint>
#include <string_view>

#include "engine/internal/checkpoints.h"
#include "engine/internal/web_code.h"
#include "image/image_record.h"

namespace pmk::web {

// Crop hypotheses: the same fraction missing at both ends of an axis, each
// axis on its own, 0 .. 5 % in steps of 0.5 %.
inline constexpr std::int32_t kCropSteps = 11;
inline constexpr double kCropGrain = 0.005;

// The smallest picture side the layer is signed into or read from.
inline constexpr std::int32_t kSmallestSide = 64;

// The layer's lattice step is the band's residual level (its detail outside
// the directions) times a power of kStepRatio, the power chosen at signing so
// that the step falls in [kSmallestStep, kSmallestStep * kStepRatio). A change
// of gain scales level and projections alike; the reader tries every power
// that gives a step within kGainRange of that interval (three or four).
inline constexpr double kSmallestStep = 32.0;
inline constexpr double kStepRatio = 1.25;
inline constexpr double kGainRange = 1.3;
// Below this level the picture has no detail to carry the layer.
inline constexpr double kLeastLevel = 2.0;
// Step candidates a read may try per hypothesis, at most.
inline constexpr std::int32_t kMostStepCandidates = 4;
// Most hypotheses a read tries: what its false-report rate is counted on.
inline constexpr std::int32_t kHypotheses = kCropSteps * kCropSteps * 8 * kMostStepCandidates;

// Shaping by the picture: the change's local scale follows the square root of
// the local detail over its median, within these bounds.
inline constexpr double kLeastShape = 0.4;
inline constexpr double kMostShape = 2.0;

struct EmbedDetails {
  double level = 0.0;  // the band's residual level before signing
  double step = 0.0;
  std::int32_t solver_iterations = 0;
};

// Signs the layer into an 8-bit picture of at least three channels (blue
// first). kRefused for another layout, a side below kSmallestSide or a
// picture without detail (level below kLeastLevel).
std::uint8_t EmbedLayer(ImageRecord& picture, std::string_view signature, std::uint32_t seed,
                        EmbedDetails* details) noexcept;

// The step a signing uses at `level`: level * kStepRatio^n in
// [kSmallestStep, kSmallestStep * kStepRatio).
double SigningStep(double level) noexcept;

// The steps a read tries at `level`, fewest first; returns how many.
std::int32_t ReadingSteps(double level, double* steps) noexcept;

struct ReadDetails {
  std::int32_t hypotheses = 0;    // tried (crop, orientation and step)
  std::int32_t orientation = -1;  // of the hypothesis that was read
  double crop_x = 0.0;
  double crop_y = 0.0;
  // Coded bits whose hard decision disagrees with the decoded word, of the
  // hypothesis that was read.
  std::int32_t disagreements = -1;
  // With an expected code word: the fewest hard-decision errors against it
  // over all hypotheses tried.
  std::int32_t fewest_errors = -1;
};

// Reads the layer; on kOk `signature` (at least 11 bytes) holds the text.
// kRefused when nothing holds its check, for another layout, or when the
// checkpoints ask to stop; kNoMemory when memory runs out.
std::uint8_t ReadLayer(const ImageRecord& picture, const Checkpoints& checkpoints, char* signature,
                       ReadDetails* details = nullptr,
                       const CodedBits* expected = nullptr) noexcept;

}  // namespace pmk::web
