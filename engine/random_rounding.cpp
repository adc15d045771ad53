#include "engine/internal/random_rounding.h"

#include <cmath>

#include "platform/tick_count.h"

namespace pmk {
namespace {

constexpr std::size_t kShift = 397;
constexpr std::uint32_t kMatrixA = 0x9908b0dfu;
constexpr std::uint32_t kUpperMask = 0x80000000u;
constexpr std::uint32_t kLowerMask = 0x7fffffffu;

// Below this magnitude a correction is not worth any pixel noise.
constexpr double kSmallestCorrection = 0.02;

}  // namespace

Mt19937::Mt19937(std::uint32_t seed) noexcept : index_(kStateWords) {
  state_[0] = seed;
  for (std::size_t i = 1; i < kStateWords; ++i) {
    // Unsigned arithmetic wraps modulo 2^32, as the fill requires.
    state_[i] = 69069u * state_[i - 1];
  }
}

void Mt19937::Regenerate() noexcept {
  for (std::size_t i = 0; i < kStateWords; ++i) {
    const std::uint32_t y = (state_[i] & kUpperMask) | (state_[(i + 1) % kStateWords] & kLowerMask);
    state_[i] = state_[(i + kShift) % kStateWords] ^ (y >> 1) ^ ((y & 1u) != 0 ? kMatrixA : 0u);
  }
  index_ = 0;
}

std::uint32_t Mt19937::Next() noexcept {
  if (index_ >= kStateWords) Regenerate();
  std::uint32_t y = state_[index_++];
  y ^= y >> 11;
  y ^= (y << 7) & 0x9d2c5680u;
  y ^= (y << 15) & 0xefc60000u;
  y ^= y >> 18;
  return y;
}

std::uint32_t ClockSeed() noexcept {
  return platform::TickCountMilliseconds() | 1u;
}

void ApplyCorrections(ImageRecord& plane, const ImageRecord& labels,
                      const std::array<double, 256>& corrections, Mt19937& generator) noexcept {
  std::array<std::int32_t, 256> lo{};
  std::array<std::int32_t, 256> hi{};
  std::array<std::uint32_t, 256> pct{};
  std::array<bool, 256> active{};
  for (std::size_t t = 0; t < 256; ++t) {
    const double delta = corrections[t];
    const double toward_zero = delta > 0.0 ? std::floor(delta) : std::ceil(delta);
    const double away_from_zero = delta > 0.0 ? std::ceil(delta) : std::floor(delta);
    lo[t] = static_cast<std::int32_t>(toward_zero);
    hi[t] = static_cast<std::int32_t>(away_from_zero);
    pct[t] = static_cast<std::uint32_t>(std::fabs(delta - toward_zero) * 100.0);
    active[t] = !(std::fabs(delta) < kSmallestCorrection);
  }

  const std::int32_t width = plane.width();
  const std::int32_t height = plane.height();
  for (std::int32_t y = 0; y < height; ++y) {
    std::uint8_t* pixels = plane.Row<std::uint8_t>(y);
    const std::uint16_t* row_labels = labels.Row<std::uint16_t>(y);
    for (std::int32_t x = 0; x < width; ++x) {
      const std::uint32_t label = row_labels[x];
      if (label == 0) continue;
      const std::uint32_t t = (label - 1) / 2;
      if (t >= 256 || !active[t]) continue;
      const std::uint32_t r = generator.Next();
      const std::int32_t step = r % 100u < pct[t] ? hi[t] : lo[t];
      std::int32_t value = pixels[x] + step;
      if (value < 0) value = 0;
      if (value > 255) value = 255;
      pixels[x] = static_cast<std::uint8_t>(value);
    }
  }
}

}  // namespace pmk
