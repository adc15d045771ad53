// How a signing seeds the random rounding of its passes.
#pragma once

#include <cstdint>

#include "engine/engine.h"

namespace pmk {

// The seed for the next pass's generator.
std::uint32_t PassSeed(const EmbedOptions& options) noexcept;

}  // namespace pmk
