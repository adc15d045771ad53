#include "plugin/batch/jpeg_check_detect.h"

#include "engine/engine.h"

namespace pmk {

std::uint8_t DetectAtOriginalScale(const ImageRecord& picture, std::uint8_t threads) noexcept {
  OutputText text;
  return CodeByte(DetectAtScale(picture, text, 1.0, EngineControl{.threads = threads}));
}

}  // namespace pmk
