#include "plugin/signing/checked_signing.h"

#include "image/picture_buffer_ops.h"

namespace pmk::ui {

SigningOutcome CheckPictureForSigning(const ImageRecord& picture) noexcept {
  if (!picture.HasData() || picture.width() < kMinimumSignedSide ||
      picture.height() < kMinimumSignedSide) {
    return SigningOutcome::kImageTooSmall;
  }
  if ((picture.channels() != 3 && picture.channels() != 4) || picture.bits() != 8)
    return SigningOutcome::kFormatNotSupported;
  // The signing would refuse it after a search that takes minutes at this
  // size, so it is refused before the user is asked for anything.
  if (static_cast<std::int64_t>(picture.width()) * picture.height() > kMaxEmbedPixels)
    return SigningOutcome::kTooLarge;
  return SigningOutcome::kSigned;
}

SigningOutcome SignCheckedPicture(ImageRecord& picture, const PayloadText& payload,
                                  const SigningRun& run, std::vector<AreaBox>* areas) {
  if (areas != nullptr) areas->clear();
  OutputText found;
  const ResultCode search =
      DetectEitherLayer(picture, found, run.search, DetectionMode::kPreSigning);
  if (search == ResultCode::kOk) return SigningOutcome::kAlreadySigned;
  if (search == ResultCode::kNoMemory) return SigningOutcome::kNotEnoughMemory;
  if (run.search.stop != nullptr && run.search.stop->load() != 0) return SigningOutcome::kStopped;
  if (run.before_embedding) run.before_embedding();

  // The mark goes into a copy, so that a failed signing leaves the picture
  // exactly as it was (the signing clamps the carrier even when it fails).
  ImageRecord signed_picture;
  if (picture_buffer::CopyWhole(signed_picture, picture) != kResultOk)
    return SigningOutcome::kNotEnoughMemory;
  // The signing reports no steps of its own; a stop request still ends it,
  // leaving the picture as it was.
  EngineControl signing = run.search;
  signing.notifier = nullptr;
  EmbedOptions options;
  options.larger_regions = run.larger_regions;
  EmbedReport report;
  if (EmbedSignature(signed_picture, payload, signing, options, &report) != ResultCode::kOk)
    return SigningOutcome::kCannotSign;
  if (run.web_layer &&
      (EmbedWebLayer(signed_picture, payload, signing, options) != ResultCode::kOk ||
       !SignedLayersRead(signed_picture, signing, true))) {
    return SigningOutcome::kCannotSign;
  }
  picture.Swap(signed_picture);
  if (areas != nullptr) {
    for (std::int32_t i = 0; i < report.regions && i < kMaxSignedRegions; ++i)
      areas->push_back(report.boxes[static_cast<std::size_t>(i)]);
  }
  return SigningOutcome::kSigned;
}

SigningMessage MessageFor(SigningOutcome outcome) noexcept {
  switch (outcome) {
    case SigningOutcome::kImageTooSmall:
      return {TextId::kImageTooSmall, TextId::kErrorCaption};
    case SigningOutcome::kFormatNotSupported:
      return {TextId::kFormatNotSupported, TextId::kErrorCaption};
    case SigningOutcome::kAlreadySigned:
      return {TextId::kAlreadySigned, TextId::kWarningCaption, true};
    case SigningOutcome::kNotEnoughMemory:
      return {TextId::kNotEnoughMemory, TextId::kWarningCaption, true};
    case SigningOutcome::kStopped:
      return {TextId::kSigningAborted, TextId::kWarningCaption, true};
    case SigningOutcome::kSigned:
      return {TextId::kSignInserted, TextId::kSignInsertedCaption};
    case SigningOutcome::kTooLarge:
    case SigningOutcome::kCannotSign:
      break;
  }
  return {TextId::kCannotSign, TextId::kReportCaption};
}

}  // namespace pmk::ui
