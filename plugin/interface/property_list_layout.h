// The binary layout of a filter library's plug-in property list, the
// symbols under which a Linux library exports it (its libraries have no
// resource section), and the resource a Windows library carries it in.
//
// Layout, all numbers little-endian (four-character codes too, as 32-bit
// values): on Windows a 16-bit reserved word 1 first; then int32 list
// version (0), int32 property count, then per property: OSType vendor,
// OSType key, int32 id (0), int32 data length, the data padded with zeros to
// a multiple of 4 bytes (the length counts the padding). Names and the
// category are length-prefixed strings; the entry point, the enable
// condition and the unique string are zero-terminated.
#pragma once

#include <cstdint>

namespace pmk::plugin {

inline constexpr const char* kPropertyListSymbol = "PluginPropertyList";
inline constexpr const char* kPropertyListSizeSymbol = "PluginPropertyListSize";
inline constexpr std::int32_t kPropertyListVersion = 0;
inline constexpr std::int32_t kPropertyListResourceId = 16000;
inline constexpr const char* kPropertyListResourceType = "PiPL";
inline constexpr std::uint16_t kWindowsResourceReservedWord = 1;

enum class PropertyListForm {
  kExportedSymbol,   // Linux: the constant PluginPropertyList
  kWindowsResource,  // Windows: resource 'PiPL' 16000
};

// 'mode' flags (16 bits, followed by 16 zero bits).
inline constexpr std::uint16_t kModeSupportsRgbColour = 0x1000;

// One 'fici' entry per filter case.
struct FilterCaseInfo {
  std::uint8_t input_handling;
  std::uint8_t output_handling;
  std::uint8_t flags1;
  std::uint8_t flags2;
};
inline constexpr std::uint8_t kHandlingStraightData = 1;
inline constexpr std::uint8_t kWritesOutsideSelection = 0x08;

}  // namespace pmk::plugin
