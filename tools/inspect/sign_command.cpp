// PMKInspect sign IN OUT SIGNATURE [--seed N] [--robust] [--web]: signs IN the
// way the command-line signer does (--robust, --web: as PMKCmd's), without any
// detection before or after, writes OUT and reports what the embedding did
// per region.
#include <charconv>
#include <cstdio>
#include <exception>
#include <iostream>
#include <nlohmann/json.hpp>
#include <string>
#include <system_error>
#include <utility>

#include "engine/engine.h"
#include "engine/internal/embed_options.h"
#include "image/image_files.h"
#include "image/image_record.h"
#include "platform/utf8_path.h"
#include "tools/inspect/inspect_commands.h"
#include "tools/inspect/inspect_picture.h"

namespace pmk::inspect {
namespace {

constexpr const char* kUsage =
    "usage: PMKInspect sign IN OUT SIGNATURE [--seed N] [--robust] [--web]\n";

constexpr int kJpegQuality = 95;

bool ParseSeed(std::string_view text, std::uint32_t& seed) {
  const char* end = text.data() + text.size();
  const auto [last, error] = std::from_chars(text.data(), end, seed);
  return error == std::errc() && last == end && !text.empty();
}

}  // namespace

int RunSign(Arguments args) {
  EmbedOptions options;
  bool web_layer = false;
  if (args.size() < 3) {
    std::fputs(kUsage, stderr);
    return kUsageError;
  }
  for (std::size_t i = 3; i < args.size(); ++i) {
    if (args[i] == "--robust" && !options.larger_regions) {
      options.larger_regions = true;
    } else if (args[i] == "--web" && !web_layer) {
      web_layer = true;
    } else if (args[i] == "--seed" && !options.use_fixed_seed && i + 1 < args.size() &&
               ParseSeed(args[i + 1], options.fixed_seed)) {
      options.use_fixed_seed = true;
      ++i;
    } else {
      std::fputs(kUsage, stderr);
      return kUsageError;
    }
  }
  const std::string input(args[0]);
  const std::string output(args[1]);
  const std::string signature(args[2]);

  ImageRecord colour;
  ImageRecord alpha;
  if (!LoadColourPicture(input, colour, alpha)) return 1;

  EmbedReport report;
  const PayloadText payload = FormatPayload(signature);
  ResultCode result = EmbedSignature(colour, payload, EngineControl{}, options, &report);
  if (result == ResultCode::kOk && web_layer) {
    result = EmbedWebLayer(colour, payload, EngineControl{}, options);
  }
  if (result == ResultCode::kOk) {
    try {
      // Written as PMKCmd writes it: the signed picture is given up to the writer.
      if (!SaveImage(std::move(colour), alpha, platform::PathFromUtf8(output),
                     platform::PathFromUtf8(input), kJpegQuality)) {
        std::fprintf(stderr, "cannot write %s\n", output.c_str());
        return 1;
      }
    } catch (const std::exception& error) {
      std::fprintf(stderr, "cannot write %s: %s\n", output.c_str(), error.what());
      return 1;
    }
  }

  nlohmann::ordered_json regions = nlohmann::ordered_json::array();
  nlohmann::ordered_json passes = nlohmann::ordered_json::array();
  nlohmann::ordered_json corrections = nlohmann::ordered_json::array();
  for (std::int32_t i = 0; i < report.regions; ++i) {
    const auto& box = report.boxes[i];
    regions.push_back({box[0], box[1], box[2], box[3]});
    passes.push_back(report.passes[i]);
    corrections.push_back(report.max_abs_correction[i]);
  }
  nlohmann::ordered_json out;
  out["result"] = CodeByte(result);
  out["regions"] = std::move(regions);
  out["passes"] = std::move(passes);
  out["max_abs_correction"] = std::move(corrections);
  std::cout << out.dump() << '\n';
  return result == ResultCode::kOk ? 0 : 1;
}

}  // namespace pmk::inspect
