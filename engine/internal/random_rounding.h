// Moving every pixel of a cell by a whole number so that the cell's mean moves
// by a fractional correction on average.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "image/image_record.h"

namespace pmk {

// Mersenne Twister MT19937 seeded the way its 1998 reference implementation
// did (word i = 69069 * word i-1), which is not how std::mt19937 seeds.
// Signed pictures depend on this exact sequence, so it is written out here.
class Mt19937 {
 public:
  explicit Mt19937(std::uint32_t seed) noexcept;

  // The next tempered 32-bit output.
  std::uint32_t Next() noexcept;

 private:
  static constexpr std::size_t kStateWords = 624;
  void Regenerate() noexcept;

  std::array<std::uint32_t, kStateWords> state_;
  std::size_t index_;
};

// The clock seed of a signing pass: the low 32 bits of the millisecond tick
// count, made odd.
std::uint32_t ClockSeed() noexcept;

// Adds the correction of its cell to every labelled pixel of `plane` (8-bit,
// one channel), visiting rows top to bottom and pixels left to right. A pixel
// with label l > 0 belongs to cell (l - 1) / 2 and gains one of the two whole
// numbers next to the cell's correction, the one farther from zero with a
// probability of its fractional part in whole percent, drawn from `generator`;
// results are clamped to 0..255. Cells whose correction is smaller than 0.02 in
// magnitude are left alone and draw no number. `labels` is a 16-bit map of the
// plane's size.
void ApplyCorrections(ImageRecord& plane, const ImageRecord& labels,
                      const std::array<double, 256>& corrections, Mt19937& generator) noexcept;

}  // namespace pmk
