#include "engine/engine.h"

#include <algorithm>

#include "engine/internal/check_symbols.h"
#include "engine/internal/detect_at_scale.h"
#include "engine/internal/detect_signature.h"

namespace pmk {

PayloadText FormatPayload(std::string_view signature) noexcept {
  static constexpr std::string_view kPrefix = "signSIGN";
  PayloadText payload;
  std::copy(kPrefix.begin(), kPrefix.end(), payload.bytes.begin());
  const std::string_view used =
      signature.substr(0, std::min(signature.find('\0'), std::size_t{kSignatureSymbolCount}));
  std::copy(used.begin(), used.end(), payload.bytes.begin() + kPrefix.size());
  return payload;
}

std::uint8_t DetectSignature(const ImageRecord& record, OutputText& text) noexcept {
  return DetectSignature(record, text.data());
}

std::uint8_t DetectSignature(const ImageRecord& record, OutputText& text,
                             ProgressNotifier* notifier, int mode) noexcept {
  return DetectSignature(record, text.data(), notifier, mode);
}

std::uint8_t DetectAtScale(const ImageRecord& image, OutputText& text, double scale,
                           ProgressNotifier* notifier) noexcept {
  BuildCheckTriples();
  return DetectAtScale(image, text.data(), scale, notifier);
}

}  // namespace pmk
