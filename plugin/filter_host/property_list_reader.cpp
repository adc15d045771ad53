#include "plugin/filter_host/property_list_reader.h"

#include <cstring>

#include "plugin/interface/host_interface.h"

namespace pmk::plugin {
namespace {

using host_api::FourCharCode;

class Cursor {
 public:
  Cursor(const std::uint8_t* bytes, std::size_t size) : bytes_(bytes), size_(size) {}
  bool Has(std::size_t n) const { return n <= size_ - at_; }
  std::uint32_t U32() {
    std::uint32_t v = 0;
    std::memcpy(&v, bytes_ + at_, 4);
    at_ += 4;
    return v;
  }
  std::uint16_t U16() {
    std::uint16_t v = 0;
    std::memcpy(&v, bytes_ + at_, 2);
    at_ += 2;
    return v;
  }
  std::string Pascal() {
    if (!Has(1)) return {};
    const std::size_t n = bytes_[at_++];
    if (!Has(n)) return {};
    std::string text(reinterpret_cast<const char*>(bytes_ + at_), n);
    at_ += n;
    return text;
  }
  std::string CString() {
    std::string text;
    while (Has(1) && bytes_[at_] != 0) text.push_back(static_cast<char>(bytes_[at_++]));
    return text;
  }
  Cursor Sub(std::size_t n) {
    Cursor sub(bytes_ + at_, n);
    at_ += n;
    return sub;
  }

 private:
  const std::uint8_t* bytes_;
  std::size_t size_;
  std::size_t at_ = 0;
};

void ReadProperty(std::uint32_t key, Cursor data, PropertyList& list) {
  if (key == FourCharCode("kind") && data.Has(4)) list.kind = data.U32();
  if (key == FourCharCode("name")) list.name = data.Pascal();
  if (key == FourCharCode("catg")) list.category = data.Pascal();
  if (key == FourCharCode("vers") && data.Has(4)) list.version = data.U32();
  if (key == FourCharCode("8664")) list.entry_point = data.CString();
  if (key == FourCharCode("mode") && data.Has(2)) list.modes = data.U16();
  if (key == FourCharCode("hstm") && data.Has(14)) {
    data.U32();
    list.terminology_class = data.U32();
    list.terminology_event = data.U32();
    list.terminology_id = data.U16();
    list.unique_string = data.CString();
  }
  if (key == FourCharCode("enbl")) list.enable_condition = data.CString();
  if (key == FourCharCode("ms32") && data.Has(8)) {
    list.max_height = static_cast<std::int32_t>(data.U32());
    list.max_width = static_cast<std::int32_t>(data.U32());
  }
  if (key == FourCharCode("mn32") && data.Has(8)) {
    list.min_height = static_cast<std::int32_t>(data.U32());
    list.min_width = static_cast<std::int32_t>(data.U32());
  }
  if (key == FourCharCode("fici")) {
    while (data.Has(4)) {
      const std::uint32_t v = data.U32();
      list.filter_cases.push_back(
          FilterCaseInfo{static_cast<std::uint8_t>(v), static_cast<std::uint8_t>(v >> 8),
                         static_cast<std::uint8_t>(v >> 16), static_cast<std::uint8_t>(v >> 24)});
    }
  }
}

}  // namespace

std::optional<PropertyList> ReadPropertyList(const std::uint8_t* bytes, std::size_t size,
                                             PropertyListForm form) {
  if (bytes == nullptr) return std::nullopt;
  Cursor cursor(bytes, size);
  if (form == PropertyListForm::kWindowsResource &&
      (!cursor.Has(2) || cursor.U16() != kWindowsResourceReservedWord))
    return std::nullopt;
  if (!cursor.Has(8)) return std::nullopt;
  if (static_cast<std::int32_t>(cursor.U32()) != kPropertyListVersion) return std::nullopt;
  const std::uint32_t count = cursor.U32();
  PropertyList list;
  for (std::uint32_t i = 0; i < count; ++i) {
    if (!cursor.Has(16)) return std::nullopt;
    const std::uint32_t vendor = cursor.U32();
    const std::uint32_t key = cursor.U32();
    cursor.U32();
    const std::uint32_t length = cursor.U32();
    if (vendor != FourCharCode("8BIM") || length % 4 != 0 || !cursor.Has(length))
      return std::nullopt;
    ReadProperty(key, cursor.Sub(length), list);
    list.keys.push_back(key);
  }
  return list;
}

}  // namespace pmk::plugin
