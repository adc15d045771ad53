// PMKInspect candidates IMAGE [--mode 0|1] [--scale X]: the guide plane's
// corners, dark and bright pass apart, and the candidate rectangles of the
// search at scale 1, or on the picture resampled at X as detection sees it.
// With the detection's pairing (--mode 1), "whole_picture_added" is the whole
// plane that detection reads after these candidates, or null when they hold
// it already.
#include <charconv>
#include <cmath>
#include <cstdio>
#include <iostream>
#include <nlohmann/json.hpp>
#include <string>

#include "engine/internal/candidate_rect.h"
#include "engine/internal/candidate_search.h"
#include "engine/internal/corner_finder.h"
#include "engine/internal/guide_plane.h"
#include "engine/internal/resample.h"
#include "engine/internal/whole_picture_candidate.h"
#include "image/image_record.h"
#include "tools/inspect/inspect_commands.h"
#include "tools/inspect/inspect_picture.h"

namespace pmk::inspect {
namespace {

inline constexpr double kSearchScale = 1.0;
// The detection's room; enough for either pairing.
inline constexpr std::uint32_t kCandidateRoom = 10000;

void PrintUsage() {
  std::fputs("usage: PMKInspect candidates IMAGE [--mode 0|1] [--scale X]\n", stderr);
}

bool ParseScale(std::string_view text, double& scale) {
  const char* end = text.data() + text.size();
  const auto [last, error] = std::from_chars(text.data(), end, scale);
  return error == std::errc() && last == end && std::isfinite(scale) && scale > 0.0;
}

bool ParseArguments(Arguments args, std::string& image, int& mode, double& scale) {
  if (args.empty()) return false;
  image = std::string(args[0]);
  mode = kPairingEmbedding;
  for (std::size_t i = 1; i < args.size(); ++i) {
    if (args[i] == "--mode" && i + 1 < args.size()) {
      const std::string_view value = args[++i];
      if (value == "0") {
        mode = kPairingEmbedding;
      } else if (value == "1") {
        mode = kPairingDetection;
      } else {
        return false;
      }
    } else if (args[i] == "--scale" && i + 1 < args.size()) {
      if (!ParseScale(args[++i], scale)) return false;
    } else {
      return false;
    }
  }
  return true;
}

// The plane the search runs on: the mean of green and red of an 8-bit
// colour picture, in floats, resampled first when the scale is not 1 (as
// detection does). Returns 0 or the engine's code.
std::uint8_t MakeSearchPlane(const ImageRecord& picture, double scale, ImageRecord& plane) {
  if (scale != kSearchScale) {
    const std::uint8_t resampled = ResampleImage(plane, picture, scale);
    if (resampled != kResultOk) return resampled;
    return MakeGuidePlane(plane);
  }
  if (plane.Allocate(picture.width(), picture.height(), 3, 32) != kResultOk) return kResultNoMemory;
  for (std::int32_t y = 0; y < picture.height(); ++y) {
    const std::uint8_t* in = picture.Row<std::uint8_t>(y);
    float* out = plane.Row<float>(y);
    for (std::int32_t i = 0; i < 3 * picture.width(); ++i) out[i] = in[i];
  }
  return MakeGuidePlane(plane);
}

// The corners one pass of the search sees; false when memory runs out.
bool PassCorners(const ImageRecord& plane, double scale, float low, float high,
                 nlohmann::ordered_json& out) {
  ImageRecord clamped;
  if (MakeClampedCopy(plane, low, high, clamped) != kResultOk) return false;
  HeapArray<Corner> corners;
  std::uint32_t count = 0;
  if (FindCorners(clamped, scale, corners, count) != kResultOk) return false;
  out = nlohmann::ordered_json::array();
  for (std::uint32_t i = 0; i < count; ++i) {
    out.push_back({corners[i].x, corners[i].y, static_cast<double>(corners[i].response)});
  }
  return true;
}

}  // namespace

int RunCandidates(Arguments args) {
  std::string name;
  int mode = 0;
  double scale = kSearchScale;
  if (!ParseArguments(args, name, mode, scale)) {
    PrintUsage();
    return kUsageError;
  }
  ImageRecord colour;
  ImageRecord alpha;
  if (!LoadColourPicture(name, colour, alpha)) return 1;
  ImageRecord plane;
  if (MakeSearchPlane(colour, scale, plane) != kResultOk) {
    std::fputs("not enough memory for the guide plane\n", stderr);
    return 1;
  }

  nlohmann::ordered_json dark;
  nlohmann::ordered_json bright;
  if (!PassCorners(plane, scale, kDarkLow, kDarkHigh, dark) ||
      !PassCorners(plane, scale, kBrightLow, kBrightHigh, bright)) {
    std::fputs("not enough memory for the corners\n", stderr);
    return 1;
  }
  CandidateList list;
  if (!list.Reserve(kCandidateRoom)) {
    std::fputs("not enough memory for the candidate list\n", stderr);
    return 1;
  }
  const std::uint8_t result = FindCandidateRects(list, plane, mode, scale, nullptr);
  if (result != kResultOk) {
    std::fprintf(stderr, "candidate search failed with code %d\n", result);
    return 1;
  }

  nlohmann::ordered_json out;
  out["width"] = plane.width();
  out["height"] = plane.height();
  out["mode"] = mode;
  out["scale"] = scale;
  out["corners"]["dark"] = std::move(dark);
  out["corners"]["bright"] = std::move(bright);
  nlohmann::ordered_json rects = nlohmann::ordered_json::array();
  for (const CandidateRect& r : list) rects.push_back({r.x0, r.y0, r.x1, r.y1});
  out["candidates"] = std::move(rects);
  // Detection reads the whole picture after these, unless they hold it.
  if (mode == kPairingDetection) {
    if (AppendWholePicture(list, plane.width(), plane.height())) {
      const CandidateRect& r = list[list.count() - 1];
      out["whole_picture_added"] = {r.x0, r.y0, r.x1, r.y1};
    } else {
      out["whole_picture_added"] = nullptr;
    }
  }
  std::cout << out.dump() << '\n';
  return 0;
}

}  // namespace pmk::inspect
