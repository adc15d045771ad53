// When a cell's sum does not depend on the order of its additions.
//
// A cell's value is a double sum of single-precision samples (p, 9 p), added
// one by one in the label map's order. Every addend is a whole multiple of
// the smallest unit of the smallest sample, and a double holds every whole
// multiple of that unit up to 2^53 units exactly. So while all the samples a
// cell has added stay below that many units in total, no addition has
// rounded: the sum is the exact one, whatever the order, and adding p m
// times is adding m p once. Once that no longer holds, the sum must go on
// one addition at a time, as it rounds.
#pragma once

#include <cstdint>

namespace pmk {

// The least nonzero and the greatest magnitude of some samples, as their bit
// patterns (which order like the magnitudes they stand for).
struct Magnitudes {
  std::uint32_t least = 0x7fffffffu;
  std::uint32_t greatest = 0;

  void Merge(const Magnitudes& other) noexcept {
    least = other.least < least ? other.least : least;
    greatest = other.greatest > greatest ? other.greatest : greatest;
  }
};
Magnitudes MagnitudesOf(const float* samples, std::int32_t count) noexcept;

// Whether the sums of a row of cells have been exact so far.
class ExactSums {
 public:
  // Takes one more row of samples with magnitudes `row`, of which each cell
  // adds at most `pixels` pixels (each at most nine times). True while no
  // sum can have rounded yet; false from the first row on that might make one
  // round (a sample that is not a finite number always does).
  bool AddRow(const Magnitudes& row, std::int32_t pixels) noexcept;

 private:
  bool exact_ = true;
  int least_exponent_ = 1 << 20;  // no nonzero sample yet
  double largest_total_ = 0;
};

}  // namespace pmk
