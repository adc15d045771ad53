// The one checked signing of the plug-in, used by the viewer and by the GIMP
// program alike, in the viewer's order: the picture (sides, channels,
// depth), its size, then, once the caller has a valid signature, the search
// before signing, and the mark put into a copy that replaces the picture
// only when the signing succeeded. The steps say nothing to the user; each
// outcome has its one message.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <vector>

#include "engine/engine.h"
#include "image/image_record.h"
#include "plugin/dialogs/language_text_ids.h"
#include "plugin/dialogs/sign_dialog.h"

namespace pmk::ui {

// A signed region's box in the picture: left, top, right, bottom.
using AreaBox = std::array<std::int32_t, 4>;

enum class SigningOutcome {
  kSigned,
  kImageTooSmall,
  kFormatNotSupported,
  kTooLarge,       // more than kMaxEmbedPixels
  kAlreadySigned,  // the search before signing found a signature
  kNotEnoughMemory,
  kStopped,     // the search was cancelled
  kCannotSign,  // the signing itself failed; the picture is unchanged
};

// The checks made before the user is asked for a signature; kSigned when the
// picture may be signed.
SigningOutcome CheckPictureForSigning(const ImageRecord& picture) noexcept;

struct SigningRun {
  EngineControl search;  // threads, stop flag and progress of the search
  bool larger_regions = false;
  // Adds the web layer after the cell mark; the signed copy then replaces the
  // picture only when both layers read back from it.
  bool web_layer = false;
  // Called between the search and the signing (the viewer changes its
  // waiting text there).
  std::function<void()> before_embedding;
};

// Searches `picture` (the web layer first, then the cell mark) and, when no
// signature is there, signs a copy with
// `payload` and swaps it in; the signing reports no progress steps. `areas`
// (optional) receives the boxes of the regions signed.
SigningOutcome SignCheckedPicture(ImageRecord& picture, const PayloadText& payload,
                                  const SigningRun& run, std::vector<AreaBox>* areas = nullptr);

struct SigningMessage {
  TextId text;
  TextId caption;
  bool error_icon = false;
};

// The message the viewer shows for an outcome other than kSigned (whose
// message comes with the framed regions).
SigningMessage MessageFor(SigningOutcome outcome) noexcept;

}  // namespace pmk::ui
