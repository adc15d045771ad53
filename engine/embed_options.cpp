#include "engine/internal/embed_options.h"

#include "engine/internal/random_rounding.h"

namespace pmk {

std::uint32_t PassSeed(const EmbedOptions& options) noexcept {
  return options.use_fixed_seed ? options.fixed_seed : ClockSeed();
}

}  // namespace pmk
