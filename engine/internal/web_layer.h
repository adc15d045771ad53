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
// green and red with random rounding; blue, which carries the cell mark,
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

// The layer's lattice step when signed. A change of gain (contrast,
// sharpening, the attenuation of a resize) scales the projections; the reader
// finds the step again as the one, among kScanSteps steps spaced by kScanRatio
// over kStep / kGainRange .. kStep * kGainRange, on whose lattice the
// projections sit best, and decodes at that step alone.
inline constexpr double kStep = 36.0;
inline constexpr double kGainRange = 1.3;
inline constexpr double kScanRatio = 1.01;
inline constexpr std::int32_t kScanSteps = 53;  // kScanRatio^52 > kGainRange^2
// Below this level of detail (DetailLevel) a picture cannot carry the layer.
inline constexpr double kLeastLevel = 2.0;
// Hypotheses a read tries at most, one decoded word each: what its
// false-report rate is counted on (968 * 2^-48 = 3.4e-12).
inline constexpr std::int32_t kHypotheses = kCropSteps * kCropSteps * 8;

// Shaping by the picture: the change's local scale follows the square root of
// the local detail over its median, within these bounds.
inline constexpr double kLeastShape = 0.4;
inline constexpr double kMostShape = 2.0;

struct EmbedDetails {
  double level = 0.0;  // the band's level of detail before signing
  double step = 0.0;
  std::int32_t solver_iterations = 0;
};

// Signs the layer into an 8-bit picture of at least three channels (blue
// first). kRefused for another layout, a side below kSmallestSide or a
// picture without detail (level below kLeastLevel).
std::uint8_t EmbedLayer(ImageRecord& picture, std::string_view signature, std::uint32_t seed,
                        EmbedDetails* details) noexcept;

// The step of the scan that fits `projections` best: where the most of them
// lie nearest to a lattice point of either coset.
double FittingStep(const double* projections, const double* dither) noexcept;

struct ReadDetails {
  std::int32_t hypotheses = 0;    // crop and orientation pairs tried
  double step = 0.0;              // the step read at, of the hypothesis that was read
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

// Reads the layer; on kOk `signature` (at least 11 bytes) holds the signature.
// kRefused when nothing holds its check, for another layout, or when the
// checkpoints ask to stop; kNoMemory when memory runs out.
std::uint8_t ReadLayer(const ImageRecord& picture, const Checkpoints& checkpoints, char* signature,
                       ReadDetails* details = nullptr,
                       const CodedBits* expected = nullptr) noexcept;

}  // namespace pmk::web
