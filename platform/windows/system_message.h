// The system's own words for an error code, as UTF-8.
#pragma once

#include <string>

namespace pmk::platform {

// Without the trailing line break; "error N" when the system has no text.
std::string SystemMessage(unsigned long code);

}  // namespace pmk::platform
