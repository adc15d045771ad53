#include "plugin/batch/jpeg_check_detect.h"

#include <array>

#include "engine/detect_at_scale.h"
#include "engine/engine.h"

namespace pmk {

std::uint8_t DetectAtOriginalScale(const ImageRecord& picture) noexcept {
  std::array<char, kDetectOutputSize> text{};
  FoundSlot.store(-1);
  return DetectAtScale(picture, text.data(), 1.0, nullptr);
}

}  // namespace pmk
