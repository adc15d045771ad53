#include "plugin/filter_host/host_descriptors.h"

#include <cstring>

#include "plugin/interface/host_interface.h"

namespace pmk::plugin {

std::vector<char> PackDescriptor(const Descriptor& descriptor) {
  std::vector<char> bytes(descriptor.size() * sizeof(DescriptorItem));
  if (!descriptor.empty()) std::memcpy(bytes.data(), descriptor.data(), bytes.size());
  return bytes;
}

Descriptor UnpackDescriptor(const char* bytes, std::size_t size) {
  Descriptor descriptor(size / sizeof(DescriptorItem));
  if (!descriptor.empty()) {
    std::memcpy(descriptor.data(), bytes, descriptor.size() * sizeof(DescriptorItem));
  }
  return descriptor;
}

std::string FourCharText(std::uint32_t code) {
  if (code == 0) return {};
  std::string text(4, ' ');
  for (int i = 0; i < 4; ++i) text[i] = static_cast<char>(code >> (8 * (3 - i)));
  return text;
}

namespace {

std::uint32_t FourCharFromText(const std::string& text) {
  std::uint32_t code = 0;
  if (text.empty()) return 0;
  for (std::size_t i = 0; i < 4; ++i) {
    code = (code << 8) | static_cast<unsigned char>(i < text.size() ? text[i] : ' ');
  }
  return code;
}

}  // namespace

nlohmann::json DescriptorToJson(const Descriptor& descriptor) {
  nlohmann::json items = nlohmann::json::array();
  for (const DescriptorItem& item : descriptor) {
    items.push_back({{"key", FourCharText(item.key)},
                     {"type", FourCharText(item.type)},
                     {"unit", FourCharText(item.unit_or_enum_type)},
                     {"enum", FourCharText(item.enum_value)},
                     {"number", item.number},
                     {"flag", item.flag}});
  }
  return items;
}

Descriptor DescriptorFromJson(const nlohmann::json& json) {
  Descriptor descriptor;
  if (!json.is_array()) return descriptor;
  for (const nlohmann::json& item : json) {
    if (!item.is_object()) continue;
    DescriptorItem d;
    d.key = FourCharFromText(item.value("key", ""));
    d.type = FourCharFromText(item.value("type", ""));
    d.unit_or_enum_type = FourCharFromText(item.value("unit", ""));
    d.enum_value = FourCharFromText(item.value("enum", ""));
    d.number = item.value("number", 0.0);
    d.flag = item.value("flag", false);
    descriptor.push_back(d);
  }
  return descriptor;
}

const DescriptorItem* FindItem(const Descriptor& descriptor, std::uint32_t key) {
  for (const DescriptorItem& item : descriptor) {
    if (item.key == key) return &item;
  }
  return nullptr;
}

}  // namespace pmk::plugin
