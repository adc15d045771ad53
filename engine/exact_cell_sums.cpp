#include "engine/internal/exact_cell_sums.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "engine/internal/float_lanes.h"

namespace pmk {
namespace {

template <int N>
using MagnitudeLanes = typename LaneType<std::uint32_t, N>::Type;

constexpr std::uint32_t kMagnitudeBits = 0x7fffffffu;
constexpr std::uint32_t kNotFinite = 0x7f800000u;

// The least and greatest magnitude, N samples at a time, the rest in
// narrower blocks (down to eight) and then one by one. Least and greatest
// are the same whatever the grouping.
template <int N>
PMK_ALWAYS_INLINE Magnitudes MagnitudesOfLanes(const float* samples, std::int32_t count) noexcept {
  const MagnitudeLanes<N> magnitude = BroadcastLanesOf<N>(kMagnitudeBits);
  MagnitudeLanes<N> low = magnitude;
  MagnitudeLanes<N> high = BroadcastLanesOf<N>(std::uint32_t{0});
  Magnitudes found;
  std::int32_t x = 0;
  for (; x + N <= count; x += N) {
    MagnitudeLanes<N> bits;
    std::memcpy(&bits, samples + x, sizeof bits);
    bits &= magnitude;
    high = bits > high ? bits : high;
    // Zero adds nothing, whatever the unit: it must not set the unit.
    const auto zero = reinterpret_cast<MagnitudeLanes<N>>(bits == 0);
    const MagnitudeLanes<N> nonzero = bits | (zero & magnitude);
    low = nonzero < low ? nonzero : low;
  }
  if constexpr (N > 8) {
    found.Merge(MagnitudesOfLanes<N / 2>(samples + x, count - x));
  } else {
    for (; x < count; ++x) {
      std::uint32_t bits;
      std::memcpy(&bits, samples + x, sizeof bits);
      bits &= kMagnitudeBits;
      found.greatest = std::max(found.greatest, bits);
      if (bits != 0) found.least = std::min(found.least, bits);
    }
  }
  for (int l = 0; l < N; ++l) found.Merge({low[l], high[l]});
  return found;
}

PMK_AVX2 Magnitudes MagnitudesOfAvx2(const float* samples, std::int32_t count) noexcept {
  return MagnitudesOfLanes<8>(samples, count);
}

PMK_AVX512 Magnitudes MagnitudesOfAvx512(const float* samples, std::int32_t count) noexcept {
  return MagnitudesOfLanes<16>(samples, count);
}

float FloatOfBits(std::uint32_t bits) noexcept {
  float value;
  std::memcpy(&value, &bits, sizeof value);
  return value;
}

}  // namespace

Magnitudes MagnitudesOf(const float* samples, std::int32_t count) noexcept {
  switch (LaneWidth()) {
    case kWidestFloatLanes:
      return MagnitudesOfAvx512(samples, count);
    case kWideFloatLanes:
      return MagnitudesOfAvx2(samples, count);
    default:
      return MagnitudesOfLanes<8>(samples, count);
  }
}

bool ExactSums::AddRow(const Magnitudes& row, std::int32_t pixels) noexcept {
  if (!exact_) return false;
  if (row.greatest >= kNotFinite) return exact_ = false;
  if (row.greatest == 0) return true;
  // A float of exponent e (2^(e-1) <= |p| < 2^e) is a whole multiple of
  // 2^(e-24), and so is every larger float and every 9 p rounded to a float.
  int exponent = 0;
  std::frexp(FloatOfBits(row.least), &exponent);
  least_exponent_ = std::min(least_exponent_, exponent);
  // Each pixel adds at most nine samples or one 9 p, which rounding leaves
  // below 9.01 |p|; every partial sum stays below the total of them.
  largest_total_ += 9.01 * static_cast<double>(FloatOfBits(row.greatest)) * pixels;
  return exact_ = largest_total_ <= std::ldexp(1.0, 53 + least_exponent_ - 24);
}

}  // namespace pmk
