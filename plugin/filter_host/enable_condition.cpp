#include "plugin/filter_host/enable_condition.h"

#include <vector>

namespace pmk::plugin {
namespace {

std::string Trim(const std::string& text) {
  const auto first = text.find_first_not_of(" \t");
  if (first == std::string::npos) return {};
  const auto last = text.find_last_not_of(" \t");
  return text.substr(first, last - first + 1);
}

std::vector<std::string> Split(const std::string& text, const std::string& separator) {
  std::vector<std::string> parts;
  std::size_t start = 0;
  for (std::size_t at; (at = text.find(separator, start)) != std::string::npos;) {
    parts.push_back(Trim(text.substr(start, at - start)));
    start = at + separator.size();
  }
  parts.push_back(Trim(text.substr(start)));
  return parts;
}

bool ClauseHolds(const std::string& clause, const DocumentProperties& document) {
  auto value_of = [&](const std::string& name) -> const std::string* {
    auto found = document.find(name);
    return found == document.end() ? nullptr : &found->second;
  };
  if (clause.rfind("in", 0) == 0) {
    const auto open = clause.find('(');
    const auto close = clause.rfind(')');
    if (open == std::string::npos || close == std::string::npos || close < open) return false;
    const std::vector<std::string> items = Split(clause.substr(open + 1, close - open - 1), ",");
    const std::string* value = value_of(items.front());
    if (value == nullptr) return false;
    for (std::size_t i = 1; i < items.size(); ++i) {
      if (items[i] == *value) return true;
    }
    return false;
  }
  for (const std::string op : {"==", "!="}) {
    const std::vector<std::string> sides = Split(clause, op);
    if (sides.size() != 2) continue;
    const std::string* value = value_of(sides[0]);
    if (value == nullptr) return false;
    return (*value == sides[1]) == (op == "==");
  }
  return false;
}

}  // namespace

bool EnableConditionHolds(const std::string& condition, const DocumentProperties& document) {
  for (const std::string& clause : Split(condition, "&&")) {
    if (!ClauseHolds(clause, document)) return false;
  }
  return true;
}

}  // namespace pmk::plugin
