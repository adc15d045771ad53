#include "engine/internal/lattice_correction.h"

#include <cmath>

#include "engine/internal/mark.h"

namespace pmk {

double LatticeCorrection(double value, std::uint8_t bit) noexcept {
  const double m = std::fmod(value, kLatticeStep);
  if (m < kLatticeStep / 2) {
    if (bit == 0) return kBitZeroCentre - m;
    // Below one step there is no bit-1 centre underneath, so only the upward one.
    if (value < kLatticeStep) return kBitOneCentre - m;
    const double down = (kBitOneCentre - kLatticeStep) - m;
    const double up = kBitOneCentre - m;
    return std::fabs(down) <= std::fabs(up) ? down : up;
  }
  if (bit != 0) return kBitOneCentre - m;
  // Above 250 the next bit-0 centre up would ask pixels beyond 255.
  if (value > 250.0) return kBitZeroCentre - m;
  const double up = (kBitZeroCentre + kLatticeStep) - m;
  const double down = kBitZeroCentre - m;
  return std::fabs(up) <= std::fabs(down) ? up : down;
}

}  // namespace pmk
