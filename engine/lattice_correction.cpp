#include "engine/lattice_correction.h"

#include <cmath>

namespace pmk {

double LatticeCorrection(double value, std::uint8_t bit) noexcept {
  const double m = std::fmod(value, 6.0);
  if (m < 3.0) {
    if (bit == 0) return 1.5 - m;
    // Below 6 there is no bit-1 centre underneath, so only the upward one.
    if (value < 6.0) return 4.5 - m;
    const double down = -1.5 - m;
    const double up = 4.5 - m;
    return std::fabs(down) <= std::fabs(up) ? down : up;
  }
  if (bit != 0) return 4.5 - m;
  // Above 250 the next bit-0 centre up would ask pixels beyond 255.
  if (value > 250.0) return 1.5 - m;
  const double up = 7.5 - m;
  const double down = 1.5 - m;
  return std::fabs(up) <= std::fabs(down) ? up : down;
}

}  // namespace pmk
