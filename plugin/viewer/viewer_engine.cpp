#include "plugin/viewer/viewer_engine.h"

#include <algorithm>

namespace pmk::ui {

void PrepareEngineTables() noexcept {
  BuildCheckTriples();
}

ResultCode DetectInPicture(const ImageRecord& picture, const EngineControl& control,
                           std::string& signature) {
  OutputText text;
  const ResultCode result = DetectEitherLayer(picture, text, control);
  signature.clear();
  if (result == ResultCode::kOk) signature = text.Signature();
  return result;
}

PayloadText PayloadFromDialogText(std::string_view payload_text) noexcept {
  const std::size_t start = std::min(payload_text.size(), std::size_t{kPayloadSignatureStart});
  return FormatPayload(payload_text.substr(start));
}

}  // namespace pmk::ui
