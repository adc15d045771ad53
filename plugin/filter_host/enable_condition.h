// The filter's enable condition, evaluated for a document as the editor
// does before it offers the filter.
#pragma once

#include <map>
#include <string>

namespace pmk::plugin {

// Document properties by the names the condition uses (PSHOP_ImageMode,
// PSHOP_ImageDepth, ...), each as text ("RGBMode", "8", "false").
using DocumentProperties = std::map<std::string, std::string>;

// The condition is a conjunction ("&&") of "NAME == VALUE", "NAME != VALUE"
// and "in (NAME, VALUE, ...)" clauses. Anything else, or an unknown name,
// counts as false: a host must not offer a filter whose condition it cannot
// read.
bool EnableConditionHolds(const std::string& condition, const DocumentProperties& document);

}  // namespace pmk::plugin
