#include "cmd/sign_and_verify.h"

#include <array>
#include <cstdio>
#include <cstring>

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

bool CopyRecord(ImageRecord& destination, const ImageRecord& source) {
  if (destination.Allocate(source.width(), source.height(), source.channels(), source.bits()) !=
      kResultOk) {
    return false;
  }
  std::memcpy(destination.data(), source.data(), static_cast<std::size_t>(source.size()));
  return true;
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
  // The web layer answers in well under a second when it is there; the
  // search for the cell mark runs only when it says nothing.
  ResultCode found = DetectWebLayer(input, text, control);
  if (found != ResultCode::kOk) found = DetectSignature(input, text, control);
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

  // The input stays unsigned: it is what gets verified if the written file
  // cannot be read back.
  ImageRecord work;
  if (!CopyRecord(work, input)) {
    messages.Write(kMessageCannotSign);
    return 1;
  }
  const PayloadText payload = FormatPayload(request.signature);
  EmbedOptions embed_options;
  embed_options.larger_regions = request.larger_regions;
  if (EmbedSignature(work, payload, control, embed_options, nullptr) != ResultCode::kOk ||
      (request.web_layer &&
       EmbedWebLayer(work, payload, control, embed_options) != ResultCode::kOk)) {
    messages.Write(kMessageCannotSign);
    return 1;
  }

  try {
    // Damaged metadata in the input costs that metadata, never the picture:
    // the user hears about it on standard error, beside the run's message.
    MetadataNotices notices;
    const std::string failure =
        SaveReplacing(work, alpha, platform::PathFromUtf8(request.output),
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
  work.Release();

  LoadAsEightBitColour(request.output, input, alpha);
  OutputText scratch;
  const bool preserved =
      IsEightBitColour(input) && DetectAtScale(input, scratch, 1.0, control) == ResultCode::kOk &&
      (!request.web_layer || DetectWebLayer(input, scratch, control) == ResultCode::kOk);
  messages.Write(preserved ? kMessageSuccess : kMessageNotPreserved);
  return 0;
}

}  // namespace pmk::cmd
