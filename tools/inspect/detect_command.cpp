// PMKInspect detect IMAGE [--scale X] [--cores N]: looks for a signature in
// IMAGE. With --scale, one detection at that scale, listing every candidate
// region it decoded and what the region read back as; without, the search
// over the whole series of scales on N threads, as the signer runs it. The
// whole picture, which detection reads after the search's candidates, is
// marked as added.
#include <array>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <iostream>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <system_error>

#include "engine/engine.h"
#include "engine/internal/candidate_rect.h"
#include "engine/internal/check_symbols.h"
#include "engine/internal/detect_at_scale.h"
#include "engine/internal/detect_signature.h"
#include "engine/internal/payload_cells.h"
#include "engine/internal/spare_cores.h"
#include "image/image_record.h"
#include "tools/inspect/inspect_commands.h"
#include "tools/inspect/inspect_picture.h"

namespace pmk::inspect {
namespace {

constexpr const char* kUsage = "usage: PMKInspect detect IMAGE [--scale X] [--cores N]\n";

bool ParseScale(std::string_view text, double& scale) {
  const char* end = text.data() + text.size();
  const auto [last, error] = std::from_chars(text.data(), end, scale);
  return error == std::errc() && last == end && std::isfinite(scale) && scale > 0.0;
}

bool ParseCores(std::string_view text, int& cores) {
  const char* end = text.data() + text.size();
  const auto [last, error] = std::from_chars(text.data(), end, cores);
  return error == std::errc() && last == end && cores >= 0 && cores <= 255;
}

// The check symbols may read as NUL, so the text is kept whole (18
// characters), without the NULs that end a short signature.
std::string PayloadText(const char* text) {
  std::string payload(text, kPayloadSymbolCount);
  while (!payload.empty() && payload.back() == '\0') payload.pop_back();
  return payload;
}

// The whole picture, read after the search's candidates when they do not hold
// it, is marked "whole_picture_added".
class JsonTrace : public DetectTrace {
 public:
  void WholePictureAdded(const CandidateRect& rect) noexcept override { added_ = rect; }
  void CandidateTried(const CandidateRect& rect, const DecodedPayload& payload) noexcept override {
    nlohmann::ordered_json entry;
    entry["rect"] = {rect.x0, rect.y0, rect.x1, rect.y1};
    entry["text"] = PayloadText(payload.text.data());
    entry["consistent"] = payload.consistent;
    entry["valid"] = payload.valid;
    entry["whole_picture_added"] = added_ && added_->x0 == rect.x0 && added_->y0 == rect.y0 &&
                                   added_->x1 == rect.x1 && added_->y1 == rect.y1;
    tried.push_back(std::move(entry));
  }
  nlohmann::ordered_json tried = nlohmann::ordered_json::array();

 private:
  std::optional<CandidateRect> added_;
};

}  // namespace

int RunDetect(Arguments args) {
  if (args.empty()) {
    std::fputs(kUsage, stderr);
    return kUsageError;
  }
  std::optional<double> scale;
  std::optional<int> cores;
  for (std::size_t i = 1; i < args.size(); i += 2) {
    if (i + 1 >= args.size()) {
      std::fputs(kUsage, stderr);
      return kUsageError;
    }
    if (args[i] == "--scale" && !scale) {
      double value = 0.0;
      if (!ParseScale(args[i + 1], value)) {
        std::fputs(kUsage, stderr);
        return kUsageError;
      }
      scale = value;
    } else if (args[i] == "--cores" && !cores) {
      int value = 0;
      if (!ParseCores(args[i + 1], value)) {
        std::fputs(kUsage, stderr);
        return kUsageError;
      }
      cores = value;
    } else {
      std::fputs(kUsage, stderr);
      return kUsageError;
    }
  }

  const std::string name(args[0]);
  ImageRecord colour;
  ImageRecord alpha;
  if (!LoadColourPicture(name, colour, alpha)) return 1;

  const auto threads = static_cast<std::uint8_t>(cores.value_or(1));
  nlohmann::ordered_json out;
  if (scale) {
    BuildCheckTriples();
    const OperationCores pool(threads);
    std::array<char, kDetectOutputSize> text{};
    JsonTrace trace;
    const std::uint8_t result = DetectAtScale(colour, text.data(), *scale, nullptr, &trace);
    out["scale"] = *scale;
    out["result"] = result;
    out["tried"] = std::move(trace.tried);
  } else {
    OutputText text;
    const ResultCode result = DetectSignature(colour, text, EngineControl{.threads = threads});
    out["result"] = CodeByte(result);
    if (result == ResultCode::kOk) {
      out["signature"] = std::string(text.Signature());
    } else {
      out["signature"] = nullptr;
    }
  }
  std::cout << out.dump() << '\n';
  return 0;
}

}  // namespace pmk::inspect
