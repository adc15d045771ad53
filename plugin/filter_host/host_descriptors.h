// The host's side of descriptors: the values a plug-in records for
// scripting or in the registry, and how the host stores them.
#pragma once

#include <cstdint>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

namespace pmk::plugin {

struct DescriptorItem {
  std::uint32_t key = 0;
  std::uint32_t type = 0;  // 'UntF', 'enum' or 'bool'
  std::uint32_t unit_or_enum_type = 0;
  std::uint32_t enum_value = 0;
  double number = 0;
  bool flag = false;
};
using Descriptor = std::vector<DescriptorItem>;

// Packed form kept in a descriptor handle.
std::vector<char> PackDescriptor(const Descriptor& descriptor);
Descriptor UnpackDescriptor(const char* bytes, std::size_t size);

// Four-character codes as text in the registry file.
nlohmann::json DescriptorToJson(const Descriptor& descriptor);
Descriptor DescriptorFromJson(const nlohmann::json& json);

const DescriptorItem* FindItem(const Descriptor& descriptor, std::uint32_t key);
std::string FourCharText(std::uint32_t code);

}  // namespace pmk::plugin
