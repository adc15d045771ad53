// The result codes of the picture record and of the signature engine.
//
// They live with the record, the lowest layer that returns them, so that the
// engine passes a failed allocation's 6 on unchanged; engine/engine.h states
// what each means for an operation. The values are fixed: programs print them
// and return them as exit codes.
#pragma once

#include <cstdint>

namespace pmk {

// What the engine's operations return. Other nonzero values may pass through
// from a stage, so a caller tests for the codes it handles rather than
// assuming these three are all.
enum class ResultCode : std::uint8_t {
  kOk = 0,        // success: found, signed
  kRefused = 1,   // refused, stopped or not found
  kNoMemory = 6,  // not enough memory
};

// The same codes as bytes: the record and the engine's stages return these.
inline constexpr std::uint8_t kResultOk = static_cast<std::uint8_t>(ResultCode::kOk);
inline constexpr std::uint8_t kResultRefused = static_cast<std::uint8_t>(ResultCode::kRefused);
inline constexpr std::uint8_t kResultNoMemory = static_cast<std::uint8_t>(ResultCode::kNoMemory);

constexpr std::uint8_t CodeByte(ResultCode code) noexcept {
  return static_cast<std::uint8_t>(code);
}
constexpr ResultCode AsResultCode(std::uint8_t byte) noexcept {
  return static_cast<ResultCode>(byte);
}

}  // namespace pmk
