// The plug-in property list of PictomarkerPS, built at compile time from one
// description in either of its two binary forms: the exported constant that
// hosts on Linux read, and the 'PiPL' resource that the editor reads from a
// Windows library.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "plugin/interface/host_interface.h"
#include "plugin/interface/property_list_layout.h"

namespace pmk::plugin {

struct PropertyListBytes {
  static constexpr std::size_t kCapacity = 1024;
  std::array<std::uint8_t, kCapacity> bytes{};
  std::size_t size = 0;
};

namespace property_list_detail {

// Little-endian throughout: the byte order of both platforms' x86-64 code,
// and the order in which the Windows resource stores four-character codes.
class ListWriter {
 public:
  constexpr void Put8(std::uint8_t value) { out_.bytes[out_.size++] = value; }
  constexpr void Put16(std::uint16_t value) {
    Put8(static_cast<std::uint8_t>(value));
    Put8(static_cast<std::uint8_t>(value >> 8));
  }
  constexpr void Put32(std::uint32_t value) {
    for (int i = 0; i < 4; ++i) Put8(static_cast<std::uint8_t>(value >> (8 * i)));
  }

  // Starts a property; EndProperty pads its data and fills in the length.
  constexpr void BeginProperty(const char (&key)[5]) {
    Put32(host_api::FourCharCode("8BIM"));
    Put32(host_api::FourCharCode(key));
    Put32(0);
    length_at_ = out_.size;
    Put32(0);
    ++count_;
  }
  // The padding counts from the property's data, not from the list's start:
  // the Windows form's 10-byte header leaves its properties off 4-byte
  // boundaries.
  constexpr void EndProperty() {
    const std::size_t data_at = length_at_ + 4;
    while ((out_.size - data_at) % 4 != 0) Put8(0);
    const auto length = static_cast<std::uint32_t>(out_.size - data_at);
    for (int i = 0; i < 4; ++i)
      out_.bytes[length_at_ + i] = static_cast<std::uint8_t>(length >> (8 * i));
  }
  constexpr void PutPascal(std::string_view text) {
    Put8(static_cast<std::uint8_t>(text.size()));
    for (char c : text) Put8(static_cast<std::uint8_t>(c));
  }
  constexpr void PutCString(std::string_view text) {
    for (char c : text) Put8(static_cast<std::uint8_t>(c));
    Put8(0);
  }
  constexpr void MarkCount() { count_at_ = out_.size; }
  constexpr PropertyListBytes Finish() {
    for (int i = 0; i < 4; ++i)
      out_.bytes[count_at_ + i] = static_cast<std::uint8_t>(count_ >> (8 * i));
    return out_;
  }

 private:
  PropertyListBytes out_;
  std::size_t length_at_ = 0;
  std::size_t count_at_ = 0;
  std::uint32_t count_ = 0;
};

}  // namespace property_list_detail

constexpr PropertyListBytes BuildPropertyList(PropertyListForm form) {
  property_list_detail::ListWriter w;
  if (form == PropertyListForm::kWindowsResource) w.Put16(kWindowsResourceReservedWord);
  w.Put32(kPropertyListVersion);
  w.MarkCount();
  w.Put32(0);
  w.BeginProperty("kind");
  w.Put32(host_api::FourCharCode("8BFM"));
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
  w.Put32(host_api::FourCharCode("PMKx"));
  w.Put32(host_api::FourCharCode("PMKx"));
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
  return w.Finish();
}

}  // namespace pmk::plugin
