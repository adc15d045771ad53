// Reading a picture the way PMKCmd does, for the subcommands that take one.
#pragma once

#include <string>

#include "image/image_record.h"

namespace pmk::inspect {

// Loads `name` and brings it to 8-bit colour (alpha, if any, to 8 bits).
// False, after a line on standard error, when it cannot be read or is not
// 8-bit colour after conversion.
bool LoadColourPicture(const std::string& name, ImageRecord& colour, ImageRecord& alpha);

}  // namespace pmk::inspect
