#include "engine/engine.h"

namespace pmk {

std::atomic<std::uint8_t> CoreCount{1};
std::atomic<std::int32_t> StopRequested{0};
std::atomic<std::int32_t> FoundSlot{-1};

}  // namespace pmk
