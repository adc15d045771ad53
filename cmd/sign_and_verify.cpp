#include "cmd/sign_and_verify.h"

#include <array>
#include <cstdio>
#include <utility>

#include "cmd/run_options.h"
#include "engine/engine.h"
#include "image/image_files.h"
#include "image/safe_output.h"
#include "platform/utf8_path.h"

namespace pmk::cmd {
namespace {

bool IsEightBitColour(const ImageRecord& record) {
  return record.HasData() && record.bits() == 8 && record.channels() == 3;
}

// Loads a picture and brings it to the 8-bit colour the engine reads; the
// alpha plane, if any, to 8 bits.
void LoadAsEightBitColour(const std::string& name, ImageRecord& colour, ImageRecord& alpha) {
  LoadImage(platform::PathFromUtf8(name), colour, alpha);
  if (colour.channels() == 1 || colour.channels() == 3) ConvertTo8BitColour(colour);
  if (alpha.HasData() && alpha.bits() != 8) ConvertTo8BitChannels(alpha, 1);
}

}  // namespace

int RunSignAndVerify(const SignRequest& request, MessageStream& messages) {
  ImageRecord input;
  ImageRecord alpha;
  LoadAsEightBitColour(request.input, input, alpha);
  if (!IsEightBitColour(input)) {
    messages.Write(kMessageUnsupported);
    return 1;
  }

  // The signing would refuse it after a search that takes minutes at this
  // size, so it is refused at once.
  const std::int64_t pixels = static_cast<std::int64_t>(input.width()) * input.height();
  if (request.sign && pixels > kMaxEmbedPixels) {
    std::fprintf(stderr, "PMKCmd: the picture has %lld pixels; signing accepts at most %lld\n",
                 static_cast<long long>(pixels), static_cast<long long>(kMaxEmbedPixels));
    messages.Write(kMessageCannotSign);
    return 1;
  }

  const EngineControl control{.threads = request.cores};
  OutputText text;
  const ResultCode found = DetectEitherLayer(input, text, control);
  if (found == ResultCode::kOk) {
    messages.Write(std::string(kMessageDetected) + text.Signature() + "\n");
    return 0;
  }
  if (found == ResultCode::kNoMemory) {
    messages.Write(kMessageNoMemory);
    return 0;
  }
  if (!request.sign) {
    messages.Write(kMessageNotDetected);
    return 0;
  }

  // The unsigned picture is not kept: the verification reads the written
  // file, and when that cannot be read back the signature was not preserved,
  // whatever is in memory. So the input itself is signed, and then written
  // without a copy.
  const PayloadText payload = FormatPayload(request.signature);
  EmbedOptions embed_options;
  embed_options.larger_regions = request.larger_regions;
  if (EmbedSignature(input, payload, control, embed_options, nullptr) != ResultCode::kOk ||
      (request.web_layer &&
       EmbedWebLayer(input, payload, control, embed_options) != ResultCode::kOk)) {
    messages.Write(kMessageCannotSign);
    return 1;
  }

  try {
    // Damaged metadata in the input costs that metadata, never the picture:
    // the user hears about it on standard error, beside the run's message.
    MetadataNotices notices;
    const std::string failure =
        SaveReplacing(std::move(input), alpha, platform::PathFromUtf8(request.output),
                      platform::PathFromUtf8(request.input), request.jpeg_quality, &notices);
    for (const std::string& notice : notices) std::fprintf(stderr, "PMKCmd: %s\n", notice.c_str());
    if (!failure.empty()) {
      std::fprintf(stderr, "PMKCmd: %s\n", failure.c_str());
    } else if (!request.written_note.empty()) {
      std::fprintf(stderr, "PMKCmd: %s\n", request.written_note.c_str());
    }
  } catch (const UnsupportedImageFormat& error) {
    // Without a message the output's own format was the problem.
    messages.Write(error.what()[0] == '\0' ? kMessageOutputUnsupported
                                           : kMessageMetadataUnreadable);
    return 1;
  } catch (const ImageReadError&) {
    messages.Write(kMessageMetadataUnreadable);
    return 1;
  }
  // The writer took the signed picture; its alpha is not needed either.
  alpha.Release();
  messages.Write(SignatureReadsBack(request.output, request.cores, request.web_layer)
                     ? kMessageSuccess
                     : kMessageNotPreserved);
  return 0;
}

bool SignatureReadsBack(const std::string& output, std::uint8_t cores, bool web_layer) {
  ImageRecord written;
  ImageRecord alpha;
  LoadAsEightBitColour(output, written, alpha);
  return IsEightBitColour(written) &&
         SignedLayersRead(written, EngineControl{.threads = cores}, web_layer);
}

}  // namespace pmk::cmd
