#include "engine/internal/web_directions.h"

#include <algorithm>
#include <cmath>
#include <cstddef>

namespace pmk::web {
namespace {

// Each coefficient's weight grows with its radius to this power: a picture's
// detail falls with frequency, so the higher rings carry more of each bit
// with less of the picture in its way.
constexpr double kRadiusPower = 3.0;

constexpr std::uint64_t kDirectionKey = 0x5eb1a7e2026c0de5ull;

// splitmix64: a fixed, portable sequence.
std::uint64_t NextRandom(std::uint64_t& state) noexcept {
  std::uint64_t z = (state += 0x9e3779b97f4a7c15ull);
  z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ull;
  z = (z ^ (z >> 27)) * 0x94d049bb133111ebull;
  return z ^ (z >> 31);
}

struct Coefficient {
  std::int32_t r2;
  std::uint16_t position;
};

}  // namespace

void MakeDirections(Directions& directions) noexcept {
  std::array<Coefficient, kBandCount> band{};
  std::size_t n = 0;
  for (std::int32_t u = 0; u < kBandEdge; ++u) {
    for (std::int32_t v = 0; v < kBandEdge; ++v) {
      const std::int32_t r2 = u * u + v * v;
      if (r2 >= kBandLow * kBandLow && r2 <= kBandHigh * kBandHigh) {
        band[n++] = {r2, static_cast<std::uint16_t>(u * kBandEdge + v)};
      }
    }
  }
  std::stable_sort(band.begin(), band.end(),
                   [](const Coefficient& a, const Coefficient& b) { return a.r2 < b.r2; });
  std::uint64_t state = kDirectionKey;
  std::array<double, kCodedBits> norms{};
  for (std::size_t start = 0; start < band.size(); start += kCodedBits) {
    std::array<std::uint8_t, kCodedBits> deal{};
    for (std::size_t k = 0; k < deal.size(); ++k) deal[k] = static_cast<std::uint8_t>(k);
    for (std::size_t k = deal.size() - 1; k > 0; --k) {
      std::swap(deal[k], deal[NextRandom(state) % (k + 1)]);
    }
    for (std::size_t i = start; i < std::min(band.size(), start + kCodedBits); ++i) {
      const std::uint8_t bit = deal[i - start];
      directions.position[i] = band[i].position;
      directions.bit[i] = bit;
      const double r = std::pow(static_cast<double>(band[i].r2), 0.5 * kRadiusPower);
      directions.weight[i] = (NextRandom(state) & 1u) != 0 ? r : -r;
      norms[bit] += r * r;
      directions.ring_weight[i] = r * r;
    }
  }
  for (std::size_t i = 0; i < band.size(); ++i) {
    directions.weight[i] /= std::sqrt(norms[directions.bit[i]]);
  }
  for (double& d : directions.dither) {
    d = static_cast<double>(NextRandom(state) >> 11) * 0x1.0p-53;
  }
}

void Project(const Directions& directions, const double* block, std::int32_t orientation,
             Projections& projections) noexcept {
  projections.fill(0.0);
  for (std::size_t i = 0; i < directions.position.size(); ++i) {
    std::int32_t u = directions.position[i] / kBandEdge;
    std::int32_t v = directions.position[i] % kBandEdge;
    double sign = 1.0;
    // A mirror negates the odd frequencies of its axis; a transpose swaps axes.
    if ((orientation & 1) != 0 && (v & 1) != 0) sign = -sign;
    if ((orientation & 2) != 0 && (u & 1) != 0) sign = -sign;
    if ((orientation & 4) != 0) std::swap(u, v);
    projections[directions.bit[i]] +=
        directions.weight[i] * sign * block[static_cast<std::size_t>(u * kBandEdge + v)];
  }
}

void Spread(const Directions& directions, const Projections& amounts, double* block) noexcept {
  for (std::size_t i = 0; i < directions.position.size(); ++i) {
    block[directions.position[i]] += directions.weight[i] * amounts[directions.bit[i]];
  }
}

double DetailLevel(const Directions& directions, const double* block) noexcept {
  // The band weighed by radius as the directions weigh it, so that it moves
  // with the projections under any filter; by radius alone, so that it is the
  // same in every orientation. The layer's own share is below one per cent.
  double sum = 0.0;
  double weights = 0.0;
  for (std::size_t i = 0; i < directions.position.size(); ++i) {
    const double x = block[directions.position[i]];
    sum += directions.ring_weight[i] * x * x;
    weights += directions.ring_weight[i];
  }
  return std::sqrt(sum / weights);
}

}  // namespace pmk::web
