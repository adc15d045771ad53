// The plug-in property list exported as a constant, which hosts on this
// platform read in place of a resource.
#include <array>
#include <cstddef>
#include <cstdint>

#include "plugin/interface/property_list_bytes.h"
#include "plugin/library/exported.h"

namespace pmk::plugin {
namespace {

constexpr PropertyListBytes kBuilt = BuildPropertyList(PropertyListForm::kExportedSymbol);

template <std::size_t N>
constexpr std::array<std::uint8_t, N> Trimmed() {
  std::array<std::uint8_t, N> out{};
  for (std::size_t i = 0; i < N; ++i) out[i] = kBuilt.bytes[i];
  return out;
}

}  // namespace
}  // namespace pmk::plugin

extern "C" {
PMK_EXPORTED extern const std::uint32_t PluginPropertyListSize =
    static_cast<std::uint32_t>(pmk::plugin::kBuilt.size);
PMK_EXPORTED extern const std::array<std::uint8_t, pmk::plugin::kBuilt.size> PluginPropertyList =
    pmk::plugin::Trimmed<pmk::plugin::kBuilt.size>();
}
