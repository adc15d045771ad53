// The keyed directions that carry the web layer's coded bits.
//
// The band is the DCT coefficients of radius kBandLow .. kBandHigh. Taken in
// order of radius, it is cut into runs of kCodedBits coefficients, and a keyed
// shuffle deals each run out, one coefficient to every bit, with a keyed sign.
// Each bit's direction is therefore a signed sum over five or six
// coefficients, one from every ring of the band: the directions are
// orthonormal by construction (disjoint supports), and a filter that weighs
// low and high frequencies differently touches every bit alike.
#pragma once

#include <array>
#include <cstdint>

#include "engine/internal/web_code.h"
#include "engine/internal/web_dct.h"

namespace pmk::web {

inline constexpr double kBandLow = 6.0;
inline constexpr double kBandHigh = 40.0;

constexpr std::int32_t CountBand() {
  std::int32_t n = 0;
  for (std::int32_t u = 0; u < kBandEdge; ++u) {
    for (std::int32_t v = 0; v < kBandEdge; ++v) {
      const std::int32_t r2 = u * u + v * v;
      if (r2 >= kBandLow * kBandLow && r2 <= kBandHigh * kBandHigh) ++n;
    }
  }
  return n;
}
inline constexpr std::int32_t kBandCount = CountBand();

// Right-angle orientations: bit 0 mirrors left-right, bit 1 top-bottom, bit 2
// transposes; all eight act on the block without resampling.
inline constexpr std::int32_t kOrientations = 8;

using Projections = std::array<double, kCodedBits>;

struct Directions {
  std::array<std::uint16_t, kBandCount> position{};  // u * kBandEdge + v
  std::array<std::uint8_t, kBandCount> bit{};        // the coded bit it carries
  std::array<double, kBandCount> weight{};           // signed, each direction of unit norm
  std::array<double, kBandCount> ring_weight{};      // the squared weight before norming
  std::array<double, kCodedBits> dither{};           // per bit, a fraction of the step
};

// The one fixed, keyed set; the same in every build.
void MakeDirections(Directions& directions) noexcept;

// The projections of `block` read in `orientation`.
void Project(const Directions& directions, const double* block, std::int32_t orientation,
             Projections& projections) noexcept;

// block += sum over bits of amounts[k] times direction k (orientation 0).
void Spread(const Directions& directions, const Projections& amounts, double* block) noexcept;

// The picture's own level of detail in the band, which the layer's step
// follows; the same in every orientation.
double DetailLevel(const Directions& directions, const double* block) noexcept;

}  // namespace pmk::web
