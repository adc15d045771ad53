#include "plugin/batch/jpeg_check_detect.h"

#include "engine/engine.h"

namespace pmk {

std::uint8_t DetectAtOriginalScale(const ImageRecord& picture) noexcept {
  OutputText text;
  // A search that found a signature earlier leaves its slot set, which would
  // stop this check at its first checkpoint.
  FoundSlot.store(-1);
  return DetectAtScale(picture, text, 1.0, nullptr);
}

}  // namespace pmk
