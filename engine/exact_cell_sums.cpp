#include "engine/internal/exact_cell_sums.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "engine/internal/float_lanes.h"

namespace pmk {
namespace {

typedef std::uint32_t MagnitudeLanes __attribute__((vector_size(8 * sizeof(std::uint32_t))));

constexpr std::uint32_t kMagnitudeBits = 0x7fffffffu;
constexpr std::uint32_t kNotFinite = 0x7f800000u;

// The least nonzero and the greatest magnitude of the block's samples, as
// their bit patterns (which order like the magnitudes they stand for).
PMK_ALWAYS_INLINE void MagnitudeRange(ConstFloatPlane plane, std::int32_t left, std::int32_t top,
                                      std::int32_t width, std::int32_t height,
                                      std::uint32_t& least, std::uint32_t& greatest) noexcept {
  MagnitudeLanes low;
  MagnitudeLanes high;
  for (int l = 0; l < 8; ++l) {
    low[l] = kMagnitudeBits;
    high[l] = 0;
  }
  least = kMagnitudeBits;
  greatest = 0;
  // The scan is the first read of a box from a plane far larger than the
  // caches: rows a little further down are asked for while a row is read,
  // and the cells' sums then find them at hand.
  constexpr std::int32_t kRowsAhead = 3;
  constexpr std::int32_t kLineFloats = 16;
  for (std::int32_t y = top; y < top + height; ++y) {
    const float* row = plane.Row(y) + left;
    if (y + kRowsAhead < top + height) {
      const float* ahead = row + kRowsAhead * static_cast<std::ptrdiff_t>(plane.width);
      for (std::int32_t x = 0; x < width; x += kLineFloats) __builtin_prefetch(ahead + x);
    }
    std::int32_t x = 0;
    for (; x + 8 <= width; x += 8) {
      MagnitudeLanes bits;
      std::memcpy(&bits, row + x, sizeof bits);
      bits &= kMagnitudeBits;
      high = bits > high ? bits : high;
      // Zero adds nothing, whatever the unit: it must not set the unit.
      const MagnitudeLanes nonzero = bits | (reinterpret_cast<MagnitudeLanes>(bits == 0) & kMagnitudeBits);
      low = nonzero < low ? nonzero : low;
    }
    for (; x < width; ++x) {
      std::uint32_t bits;
      std::memcpy(&bits, row + x, sizeof bits);
      bits &= kMagnitudeBits;
      greatest = std::max(greatest, bits);
      if (bits != 0) least = std::min(least, bits);
    }
  }
  for (int l = 0; l < 8; ++l) {
    least = std::min(least, low[l]);
    greatest = std::max(greatest, high[l]);
  }
}

PMK_AVX2 void MagnitudeRangeAvx2(ConstFloatPlane plane, std::int32_t left, std::int32_t top,
                                 std::int32_t width, std::int32_t height, std::uint32_t& least,
                                 std::uint32_t& greatest) noexcept {
  MagnitudeRange(plane, left, top, width, height, least, greatest);
}

float FloatOfBits(std::uint32_t bits) noexcept {
  float value;
  std::memcpy(&value, &bits, sizeof value);
  return value;
}

}  // namespace

bool CellSumsAreExact(ConstFloatPlane plane, std::int32_t left, std::int32_t top,
                      std::int32_t width, std::int32_t height, std::int64_t cell_pixels) noexcept {
  if (width <= 0 || height <= 0) return true;
  std::uint32_t least = 0;
  std::uint32_t greatest = 0;
  if (HasAvx2()) {
    MagnitudeRangeAvx2(plane, left, top, width, height, least, greatest);
  } else {
    MagnitudeRange(plane, left, top, width, height, least, greatest);
  }
  if (greatest >= kNotFinite) return false;
  if (greatest == 0) return true;
  // A float of exponent e (2^(e-1) <= |p| < 2^e) is a whole multiple of
  // 2^(e-24), and so is every larger float and every 9 p rounded to a float;
  // a double holds every whole multiple of that unit up to 2^53 of them.
  int exponent = 0;
  std::frexp(FloatOfBits(least), &exponent);
  const double exact_up_to = std::ldexp(1.0, 53 + exponent - 24);
  // Each pixel adds at most nine samples or one 9 p, which rounding leaves
  // below 9.01 |p|.
  const double largest_total =
      9.01 * static_cast<double>(FloatOfBits(greatest)) * static_cast<double>(cell_pixels);
  return largest_total <= exact_up_to;
}

}  // namespace pmk
