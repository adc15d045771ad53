#include "engine/engine.h"

#include <algorithm>
#include <cstring>

#include "engine/internal/check_symbols.h"
#include "engine/internal/checkpoints.h"
#include "engine/internal/detect_at_scale.h"
#include "engine/internal/detect_signature.h"
#include "engine/internal/float_lanes.h"
#include "engine/internal/random_rounding.h"
#include "engine/internal/spare_cores.h"
#include "engine/internal/web_layer.h"
#include "image/picture_buffer_ops.h"

namespace pmk {

PayloadText FormatPayload(std::string_view signature) noexcept {
  PayloadText payload;
  std::copy(kPayloadPrefix.begin(), kPayloadPrefix.end(), payload.bytes.begin());
  const std::string_view used =
      signature.substr(0, std::min(signature.find('\0'), std::size_t{kSignatureSymbolCount}));
  std::copy(used.begin(), used.end(), payload.bytes.begin() + kPayloadPrefix.size());
  return payload;
}

void LimitVectorLanes(int lanes) noexcept {
  MaxLaneWidth.store(lanes, std::memory_order_relaxed);
}

// Each entry gives its call a pool of the control's threads; the stop flag
// and the notifier reach every checkpoint through the call's Checkpoints.

ResultCode DetectSignature(const ImageRecord& record, OutputText& text,
                           const EngineControl& control, DetectionMode mode) noexcept {
  BuildCheckTriples();
  const OperationCores cores(control.threads);
  const Checkpoints checkpoints(control.notifier, control.stop);
  return AsResultCode(DetectSignature(record, text.data(), checkpoints, mode));
}

ResultCode DetectAtScale(const ImageRecord& image, OutputText& text, double scale,
                         const EngineControl& control) noexcept {
  BuildCheckTriples();
  const OperationCores cores(control.threads);
  const Checkpoints checkpoints(control.notifier, control.stop);
  return AsResultCode(DetectAtScale(image, text.data(), scale, checkpoints));
}

ResultCode EmbedWebLayer(ImageRecord& image, const PayloadText& payload,
                         const EngineControl& control, const EmbedOptions& options) noexcept {
  const OperationCores cores(control.threads);
  const std::uint32_t seed = options.use_fixed_seed ? options.fixed_seed : ClockSeed();
  return AsResultCode(web::EmbedLayer(
      image, std::string_view(payload.c_str() + kPayloadSignatureStart), seed, nullptr));
}

ResultCode DetectWebLayer(const ImageRecord& record, OutputText& text,
                          const EngineControl& control) noexcept {
  text.bytes.fill('\0');
  const OperationCores cores(control.threads);
  const Checkpoints checkpoints(control.notifier, control.stop);
  char signature[16] = {};
  const std::uint8_t code = web::ReadLayer(record, checkpoints, signature);
  if (code == kResultOk) {
    std::copy(kPayloadPrefix.begin(), kPayloadPrefix.end(), text.bytes.begin());
    std::copy(signature, signature + std::strlen(signature),
              text.bytes.begin() + kPayloadSignatureStart);
  }
  return AsResultCode(code);
}

ResultCode DetectEitherLayer(const ImageRecord& record, OutputText& text,
                             const EngineControl& control, DetectionMode mode) noexcept {
  const ResultCode found = DetectWebLayer(record, text, control);
  return found == ResultCode::kOk ? found : DetectSignature(record, text, control, mode);
}

bool SignedLayersRead(const ImageRecord& record, const EngineControl& control,
                      bool web_layer) noexcept {
  // The reading at one scale takes three channels: a picture with alpha is
  // read on its colour.
  ImageRecord colour;
  if (record.channels() == 4 && picture_buffer::RemoveComponent(colour, 3, record) != kResultOk)
    return false;
  const ImageRecord& read = colour.HasData() ? colour : record;
  OutputText scratch;
  return DetectAtScale(read, scratch, 1.0, control) == ResultCode::kOk &&
         (!web_layer || DetectWebLayer(read, scratch, control) == ResultCode::kOk);
}

}  // namespace pmk
