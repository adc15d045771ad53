#include "plugin/viewer/viewer_engine.h"

#include <algorithm>

namespace pmk::ui {

void PrepareEngineTables() noexcept {
  BuildCheckTriples();
}

ResultCode SearchBeforeSigning(const ImageRecord& picture, const EngineControl& control) noexcept {
  OutputText text;
  return DetectSignature(picture, text, control, DetectionMode::kPreSigning);
}

ResultCode DetectInPicture(const ImageRecord& picture, const EngineControl& control,
                           std::string& signature) {
  OutputText text;
  const ResultCode result = DetectSignature(picture, text, control, DetectionMode::kDetection);
  signature.clear();
  if (result == ResultCode::kOk) signature = text.Signature();
  return result;
}

ResultCode SignPicture(ImageRecord& picture, std::string_view payload_text, bool larger_regions,
                       const EngineControl& control, std::vector<AreaBox>& areas) {
  // Only the signature after the placeholder is embedded.
  const std::size_t start = std::min(payload_text.size(), std::size_t{kPayloadSignatureStart});
  const PayloadText payload = FormatPayload(payload_text.substr(start));
  EmbedOptions options;
  options.larger_regions = larger_regions;
  EmbedReport report;
  const ResultCode result = EmbedSignature(picture, payload, control, options, &report);
  areas.clear();
  for (std::int32_t i = 0; i < report.regions && i < kMaxSignedRegions; ++i) {
    areas.push_back(report.boxes[static_cast<std::size_t>(i)]);
  }
  return result;
}

}  // namespace pmk::ui
