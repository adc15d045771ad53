// Reading a filter library's exported plug-in property list.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "plugin/interface/property_list_layout.h"

namespace pmk::plugin {

struct PropertyList {
  std::uint32_t kind = 0;
  std::string name;
  std::string category;
  std::uint32_t version = 0;
  std::string entry_point;
  std::uint16_t modes = 0;
  std::uint32_t terminology_class = 0;
  std::uint32_t terminology_event = 0;
  std::int32_t terminology_id = 0;
  std::string unique_string;
  std::string enable_condition;
  std::int32_t max_height = 0, max_width = 0;
  std::int32_t min_height = 0, min_width = 0;
  std::vector<FilterCaseInfo> filter_cases;
  std::vector<std::uint32_t> keys;  // every property's key, in order
};

// Parses `size` bytes of a list in the given form; nothing when the list is
// malformed (truncated, a property running past the end, a foreign vendor,
// a Windows resource without its reserved word).
std::optional<PropertyList> ReadPropertyList(
    const std::uint8_t* bytes, std::size_t size,
    PropertyListForm form = PropertyListForm::kExportedSymbol);

}  // namespace pmk::plugin
