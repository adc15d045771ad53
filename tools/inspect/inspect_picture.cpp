#include "tools/inspect/inspect_picture.h"

#include <cstdio>

#include "image/image_files.h"
#include "platform/utf8_path.h"

namespace pmk::inspect {

bool LoadColourPicture(const std::string& name, ImageRecord& colour, ImageRecord& alpha) {
  if (!LoadImage(platform::PathFromUtf8(name), colour, alpha)) {
    std::fprintf(stderr, "cannot read %s\n", name.c_str());
    return false;
  }
  ConvertTo8BitColour(colour);
  if (alpha.HasData() && alpha.bits() != 8) ConvertTo8BitChannels(alpha, 1);
  if (colour.bits() != 8 || colour.channels() != 3) {
    std::fprintf(stderr, "%s is not an 8-bit colour picture\n", name.c_str());
    return false;
  }
  return true;
}

}  // namespace pmk::inspect
