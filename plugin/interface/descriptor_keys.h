// The keys, types and values under which the plug-in's parameters travel
// through the host's scripting and its descriptor registry.
#pragma once

#include <cstdint>

#include "plugin/interface/host_interface.h"

namespace pmk::plugin {

using host_api::FourCharCode;

inline constexpr std::uint32_t kKeyAmount = FourCharCode("Amnt");
inline constexpr std::uint32_t kKeyDisposition = FourCharCode("disP");
inline constexpr std::uint32_t kKeyIgnoreSelection = FourCharCode("ignS");
inline constexpr std::uint32_t kUnitPercent = FourCharCode("#Prc");
inline constexpr std::uint32_t kTypeDisposition = FourCharCode("mooD");
inline constexpr std::uint32_t kTypeUnitFloat = FourCharCode("UntF");
inline constexpr std::uint32_t kTypeEnumerated = FourCharCode("enum");
inline constexpr std::uint32_t kTypeBoolean = FourCharCode("bool");
inline constexpr std::uint32_t kDisposition0 = FourCharCode("moD0");
inline constexpr std::uint32_t kDisposition1 = FourCharCode("moD1");
inline constexpr std::uint32_t kDisposition2 = FourCharCode("moD2");
inline constexpr std::uint32_t kDisposition3 = FourCharCode("moD3");

// The registry key, also the plug-in's unique scripting string.
inline constexpr const char* kRegistryKey = "b2f388c0-816c-11df-8c4a-0800200c9a66";

// 'moD0', 'moD2', 'moD3' give 0, 2, 3; anything else 1.
constexpr std::int16_t DispositionFromEnum(std::uint32_t value) {
  if (value == kDisposition0) return 0;
  if (value == kDisposition2) return 2;
  if (value == kDisposition3) return 3;
  return 1;
}

// 0, 2, 3 give 'moD0', 'moD2', 'moD3'; anything else 'moD1'.
constexpr std::uint32_t DispositionToEnum(std::int16_t disposition) {
  if (disposition == 0) return kDisposition0;
  if (disposition == 2) return kDisposition2;
  if (disposition == 3) return kDisposition3;
  return kDisposition1;
}

// The amount is stored truncated; values beyond the 16-bit field saturate.
inline std::int16_t AmountFromUnitFloat(double value) {
  if (!(value > -32768.0)) return value != value ? 0 : -32768;
  if (value >= 32767.0) return 32767;
  return static_cast<std::int16_t>(value);
}

}  // namespace pmk::plugin
