#include "plugin/viewer/viewer_engine.h"

#include "engine/engine.h"

namespace pmk::ui {

void PrepareEngineTables() noexcept {
  BuildCheckTriples();
}

std::uint8_t SearchBeforeSigning(const ImageRecord& picture, ProgressNotifier* notifier) noexcept {
  OutputText text;
  return DetectSignature(picture, text, notifier, kPreSigningMode);
}

std::uint8_t DetectInPicture(const ImageRecord& picture, ProgressNotifier* notifier,
                             std::string& signature) {
  OutputText text;
  const std::uint8_t result = DetectSignature(picture, text, notifier, kDetectionMode);
  signature.clear();
  if (result == kResultOk) signature = text.Signature();
  return result;
}

std::uint8_t SignPicture(ImageRecord& picture, const char* payload_text,
                         bool larger_regions) noexcept {
  EmbedOptions options;
  options.larger_regions = larger_regions;
  return EmbedSignature(picture, payload_text, options, nullptr);
}

std::vector<AreaBox> SignedAreas() {
  std::vector<AreaBox> areas;
  for (std::int32_t i = 0; i < UsedRegions.count && i < 5; ++i) {
    const auto& b = UsedRegions.boxes[static_cast<std::size_t>(i)];
    areas.push_back({b[0], b[1], b[2], b[3]});
  }
  return areas;
}

}  // namespace pmk::ui
