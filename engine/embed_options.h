// How a signing seeds the random rounding of its passes.
#pragma once

#include <cstdint>

namespace pmk {

struct EmbedOptions {
  // The programs seed every pass from the clock, so two signings of one
  // picture differ in single pixels. Tests and tools fix the seed instead to
  // repeat a signing exactly; a fixed seed is used as given, for every pass.
  bool use_fixed_seed = false;
  std::uint32_t fixed_seed = 0;
};

// The seed for the next pass's generator.
std::uint32_t PassSeed(const EmbedOptions& options) noexcept;

}  // namespace pmk
