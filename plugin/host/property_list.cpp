// The plug-in property list of PictomarkerPS, built at compile time into the
// exported constant that hosts on this platform read in place of a resource.
#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "plugin/host/host_interface.h"
#include "plugin/host/property_list_layout.h"

namespace pmk::plugin {
namespace {

using host_api::FourCharCode;

class ListWriter {
 public:
  static constexpr std::size_t kCapacity = 1024;

  constexpr void Put32(std::uint32_t value) {
    for (int i = 0; i < 4; ++i) Put8(static_cast<std::uint8_t>(value >> (8 * i)));
  }
  constexpr void Put16(std::uint16_t value) {
    Put8(static_cast<std::uint8_t>(value));
    Put8(static_cast<std::uint8_t>(value >> 8));
  }
  constexpr void Put8(std::uint8_t value) { bytes_[size_++] = value; }

  // Starts a property; its length is filled in by EndProperty.
  constexpr void BeginProperty(const char (&key)[5]) {
    Put32(FourCharCode("8BIM"));
    Put32(FourCharCode(key));
    Put32(0);
    length_at_ = size_;
    Put32(0);
    ++count_;
  }
  constexpr void EndProperty() {
    while (size_ % 4 != 0) Put8(0);
    const std::uint32_t length = static_cast<std::uint32_t>(size_ - length_at_ - 4);
    for (int i = 0; i < 4; ++i)
      bytes_[length_at_ + i] = static_cast<std::uint8_t>(length >> (8 * i));
  }
  constexpr void PutPascal(std::string_view text) {
    Put8(static_cast<std::uint8_t>(text.size()));
    for (char c : text) Put8(static_cast<std::uint8_t>(c));
  }
  constexpr void PutCString(std::string_view text) {
    for (char c : text) Put8(static_cast<std::uint8_t>(c));
    Put8(0);
  }
  constexpr void SetCount() {
    for (int i = 0; i < 4; ++i) bytes_[4 + i] = static_cast<std::uint8_t>(count_ >> (8 * i));
  }

  std::array<std::uint8_t, kCapacity> bytes_{};
  std::size_t size_ = 0;
  std::size_t length_at_ = 0;
  std::uint32_t count_ = 0;
};

constexpr ListWriter BuildList() {
  ListWriter w;
  w.Put32(kPropertyListVersion);
  w.Put32(0);
  w.BeginProperty("kind");
  w.Put32(FourCharCode("8BFM"));
  w.EndProperty();
  w.BeginProperty("name");
  w.PutPascal("Pictomarker...");
  w.EndProperty();
  w.BeginProperty("catg");
  w.PutPascal("Tavelwood");
  w.EndProperty();
  w.BeginProperty("vers");
  w.Put32(0x00040000);
  w.EndProperty();
  w.BeginProperty("8664");
  w.PutCString("PluginMain");
  w.EndProperty();
  w.BeginProperty("mode");
  w.Put16(kModeSupportsRgbColour);
  w.Put16(0);
  w.EndProperty();
  w.BeginProperty("hstm");
  w.Put32(0);
  w.Put32(FourCharCode("PMKx"));
  w.Put32(FourCharCode("PMKx"));
  w.Put16(static_cast<std::uint16_t>(kPropertyListResourceId));
  w.PutCString("b2f388c0-816c-11df-8c4a-0800200c9a66");
  w.EndProperty();
  w.BeginProperty("enbl");
  w.PutCString(
      "in (PSHOP_ImageMode, RGBMode) &&PSHOP_ImageDepth == 8 &&PSHOP_HasLayerMask == false "
      "&&PSHOP_HasSelectionMask == false &&PSHOP_NumTrueChannels == 3");
  w.EndProperty();
  w.BeginProperty("ms32");
  w.Put32(10000);
  w.Put32(10000);
  w.EndProperty();
  w.BeginProperty("mn32");
  w.Put32(256);
  w.Put32(256);
  w.EndProperty();
  w.BeginProperty("fici");
  for (int filter_case = 0; filter_case < 7; ++filter_case) {
    w.Put8(kHandlingStraightData);
    w.Put8(kHandlingStraightData);
    w.Put8(kWritesOutsideSelection);
    w.Put8(0);
  }
  w.EndProperty();
  w.SetCount();
  return w;
}

constexpr ListWriter kBuilt = BuildList();

template <std::size_t N>
constexpr std::array<std::uint8_t, N> Trimmed() {
  std::array<std::uint8_t, N> out{};
  for (std::size_t i = 0; i < N; ++i) out[i] = kBuilt.bytes_[i];
  return out;
}

}  // namespace
}  // namespace pmk::plugin

extern "C" {
__attribute__((visibility("default"))) extern const std::uint32_t PluginPropertyListSize =
    static_cast<std::uint32_t>(pmk::plugin::kBuilt.size_);
__attribute__((
    visibility("default"))) extern const std::array<std::uint8_t, pmk::plugin::kBuilt.size_>
    PluginPropertyList = pmk::plugin::Trimmed<pmk::plugin::kBuilt.size_>();
}
