#include "plugin/ui/viewer_engine.h"

#include <array>

#include "engine/engine.h"
// TODO(merge): engine/engine.h becomes the single public header; these two go.
#include "engine/check_symbols.h"
#include "engine/detect_signature.h"
#include "engine/embed_signature.h"

namespace pmk::ui {

namespace {
// The payload text read back: "signSIGN" then the signature.
constexpr std::size_t kSignatureOffset = 8;
}  // namespace

void PrepareEngineTables() noexcept {
  BuildCheckTriples();
}

std::uint8_t SearchBeforeSigning(const ImageRecord& picture, ProgressNotifier* notifier) noexcept {
  std::array<char, 1024> text{};
  return DetectSignature(picture, text.data(), notifier, kPreSigningMode);
}

std::uint8_t DetectInPicture(const ImageRecord& picture, ProgressNotifier* notifier,
                             std::string& signature) {
  std::array<char, 1024> text{};
  const std::uint8_t result = DetectSignature(picture, text.data(), notifier, kDetectionMode);
  signature.clear();
  if (result == kResultOk) signature = std::string(text.data() + kSignatureOffset);
  return result;
}

std::uint8_t SignPicture(ImageRecord& picture, const char* payload_text) noexcept {
  return EmbedSignature(picture, payload_text);
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
