// The result codes of the picture record and of the signature engine.
//
// They live with the record, the lowest layer that returns them, so that the
// engine passes a failed allocation's 6 on unchanged; engine/engine.h states
// what each means for an operation.
#pragma once

#include <cstdint>

namespace pmk {

inline constexpr std::uint8_t kResultOk = 0;
inline constexpr std::uint8_t kResultRefused = 1;
inline constexpr std::uint8_t kResultNoMemory = 6;

}  // namespace pmk
