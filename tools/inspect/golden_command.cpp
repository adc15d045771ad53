// PMKInspect golden IMAGE | golden --synthetic NAME: every decision the engine
// takes on one picture, as JSON, so that a faster engine can be held to the
// same decisions: the detection's candidates at three scales, the regions,
// passes, cell values and signed blue channel of a seeded signing, and every
// candidate one-scale detections decode, on the unsigned and the signed
// picture. The synthetic pictures are drawn here, so they need no file.
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <iostream>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>

#include "engine/engine.h"
#include "engine/internal/candidate_rect.h"
#include "engine/internal/candidate_search.h"
#include "engine/internal/cell_grid.h"
#include "engine/internal/check_symbols.h"
#include "engine/internal/detect_at_scale.h"
#include "engine/internal/embed_options.h"
#include "engine/internal/embed_preparation.h"
#include "engine/internal/embed_region.h"
#include "engine/internal/guide_plane.h"
#include "engine/internal/payload_cells.h"
#include "engine/internal/region_choice.h"
#include "engine/internal/resample.h"
#include "engine/internal/separable_filter.h"
#include "image/image_files.h"
#include "image/image_record.h"
#include "platform/utf8_path.h"
#include "tools/inspect/inspect_commands.h"

namespace pmk::inspect {
namespace {

constexpr const char* kUsage = "usage: PMKInspect golden IMAGE | golden --synthetic NAME\n";

constexpr std::array<double, 3> kCandidateScales{1.0, 1.5, 2.05};
constexpr std::array<double, 3> kUnsignedDetectScales{1.0, 1.5, 2.05};
constexpr char kPayload[] = "signSIGNgolden-26";
constexpr std::uint32_t kSeed = 20260611;

// A small deterministic generator, so a synthetic picture is the same on
// every machine and with every standard library.
class Lcg {
 public:
  explicit Lcg(std::uint32_t seed) : state_(seed) {}
  // Uniform in [-1, 1).
  double Next() {
    state_ = state_ * 1664525u + 1013904223u;
    return static_cast<double>(state_ >> 8) / 8388608.0 - 1.0;
  }

 private:
  std::uint32_t state_;
};

std::uint8_t ToByte(double v) {
  if (v < 0.0) return 0;
  if (v > 255.0) return 255;
  return static_cast<std::uint8_t>(v);
}

// Four coloured blocks on a noisy gradient: strong corners far apart.
void DrawBlocks(ImageRecord& picture) {
  picture.Allocate(720, 560, 3, 8);
  struct Block {
    int x0, y0, x1, y1;
    double b, g, r;
  };
  constexpr Block kBlocks[] = {{40, 40, 300, 240, 30, 200, 220},
                               {420, 60, 680, 250, 210, 40, 60},
                               {60, 330, 320, 520, 90, 170, 30},
                               {400, 320, 690, 530, 160, 90, 200}};
  Lcg noise(7);
  for (int y = 0; y < picture.height(); ++y) {
    std::uint8_t* row = picture.Row<std::uint8_t>(y);
    for (int x = 0; x < picture.width(); ++x) {
      double b = 60 + 0.1 * x;
      double g = 80 + 0.15 * y;
      double r = 100 + 0.05 * (x + y);
      for (const Block& block : kBlocks) {
        if (x >= block.x0 && x < block.x1 && y >= block.y0 && y < block.y1) {
          b = block.b;
          g = block.g;
          r = block.r;
        }
      }
      row[3 * x] = ToByte(b + 8 * noise.Next());
      row[3 * x + 1] = ToByte(g + 8 * noise.Next());
      row[3 * x + 2] = ToByte(r + 8 * noise.Next());
    }
  }
}

// A warped checkerboard with noise: many corners of similar strength.
void DrawChecks(ImageRecord& picture) {
  picture.Allocate(640, 640, 3, 8);
  Lcg noise(11);
  for (int y = 0; y < picture.height(); ++y) {
    std::uint8_t* row = picture.Row<std::uint8_t>(y);
    for (int x = 0; x < picture.width(); ++x) {
      const double checks =
          std::sin((x + 9 * std::sin(y * 0.05)) * 0.037) * std::sin(y * 0.041) > 0 ? 45 : -45;
      const double wave = checks + 25 * std::sin((x + 2 * y) * 0.011);
      row[3 * x] = ToByte(128 + 0.5 * wave + 20 * noise.Next());
      row[3 * x + 1] = ToByte(120 + wave + 6 * noise.Next());
      row[3 * x + 2] = ToByte(100 + 0.8 * wave + 6 * noise.Next());
    }
  }
}

// Flat green and red: no corner at all, so the whole picture is the region.
void DrawFlat(ImageRecord& picture) {
  picture.Allocate(400, 360, 3, 8);
  Lcg noise(13);
  for (int y = 0; y < picture.height(); ++y) {
    std::uint8_t* row = picture.Row<std::uint8_t>(y);
    for (int x = 0; x < picture.width(); ++x) {
      row[3 * x] = ToByte(120 + 30 * noise.Next());
      row[3 * x + 1] = 100;
      row[3 * x + 2] = 140;
    }
  }
}

// A larger mosaic of blocks, big enough for a signing to choose several
// regions.
void DrawMosaic(ImageRecord& picture) {
  picture.Allocate(1280, 1040, 3, 8);
  Lcg noise(17);
  for (int y = 0; y < picture.height(); ++y) {
    std::uint8_t* row = picture.Row<std::uint8_t>(y);
    for (int x = 0; x < picture.width(); ++x) {
      // Blocks of 200 to 260 pixels with gaps between them, each its own shade.
      const int column = x / 330;
      const int line = y / 270;
      const bool inside = x % 330 > 40 + 13 * line && y % 270 > 30 + 11 * column;
      const double shade = inside ? 60 + 37 * ((column * 5 + line * 3) % 5) : 128 + 0.03 * x;
      row[3 * x] = ToByte(110 + 0.2 * shade + 12 * noise.Next());
      row[3 * x + 1] = ToByte(shade + 5 * noise.Next());
      row[3 * x + 2] = ToByte(0.7 * shade + 40 + 5 * noise.Next());
    }
  }
}

bool MakeSynthetic(std::string_view name, ImageRecord& picture) {
  if (name == "blocks") {
    DrawBlocks(picture);
  } else if (name == "checks") {
    DrawChecks(picture);
  } else if (name == "mosaic") {
    DrawMosaic(picture);
  } else if (name == "flat") {
    DrawFlat(picture);
  } else {
    return false;
  }
  return picture.HasData();
}

bool CopyPicture(ImageRecord& destination, const ImageRecord& source) {
  if (destination.Allocate(source.width(), source.height(), source.channels(), source.bits()) !=
      kResultOk) {
    return false;
  }
  std::copy_n(source.data(), source.size(), destination.data());
  return true;
}

nlohmann::ordered_json Rect(const CandidateRect& r) {
  return {r.x0, r.y0, r.x1, r.y1};
}

// The payload text with its NULs shown as '_', which the alphabet never uses.
std::string VisibleText(const char* text) {
  std::string out(text, kPayloadSymbolCount);
  for (char& c : out) {
    if (c == '\0') c = '_';
  }
  return out;
}

std::string Fnv1a64OfBlue(const ImageRecord& picture) {
  std::uint64_t hash = 14695981039346656037ull;
  for (std::int32_t y = 0; y < picture.height(); ++y) {
    const std::uint8_t* row = picture.Row<std::uint8_t>(y);
    for (std::int32_t x = 0; x < picture.width(); ++x) {
      hash ^= row[static_cast<std::int64_t>(x) * picture.channels()];
      hash *= 1099511628211ull;
    }
  }
  char text[17];
  std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(hash));
  return text;
}

// The guide plane of the picture brought to `scale`, as detection makes it.
std::uint8_t CandidatesAtScale(const ImageRecord& picture, double scale, CandidateList& list) {
  ImageRecord plane;
  const std::uint8_t resampled = ResampleImage(plane, picture, scale);
  if (resampled != kResultOk) return resampled;
  const std::uint8_t made = MakeGuidePlane(plane);
  if (made != kResultOk) return made;
  if (!list.Reserve(kDetectCandidateCapacity)) return kResultNoMemory;
  return FindCandidateRects(list, plane, kPairingDetection, scale, nullptr);
}

// The filtered cell values of one signed region, measured the way a signing
// pass measures them.
bool MeasureRegion(const ImageRecord& picture, const CandidateRect& rect, CellValues& values) {
  const CellGrid grid = MakeCellGrid(rect);
  const ExtendedBox extended_box = MakeExtendedBox(grid, picture.width(), picture.height());
  const std::int32_t left = extended_box.left;
  const std::int32_t top = extended_box.top;
  const std::int32_t w = extended_box.Width();
  const std::int32_t h = extended_box.Height();
  ImageRecord extended;
  ImageRecord scratch;
  ImageRecord mask;
  if (extended.Allocate(w, h, 1, 32) != kResultOk || scratch.Allocate(w, h, 1, 32) != kResultOk) {
    return false;
  }
  for (std::int32_t y = 0; y < h; ++y) {
    const std::uint8_t* in = picture.Row<std::uint8_t>(top + y);
    float* out = extended.Row<float>(y);
    for (std::int32_t x = 0; x < w; ++x) out[x] = in[3 * static_cast<std::int64_t>(left + x)];
  }
  SeparableFilter7(extended.Floats(), extended.Floats(), w, h, scratch.Floats(),
                   kLowPassKernel7.data(), 1.0);
  if (BuildCellMask(grid.cell_width, grid.cell_height, mask) != kResultOk) return false;
  MeasureGridCells(extended, ShiftCellGrid(grid, left, top), mask, CellCentres(grid), values);
  return true;
}

class JsonTrace : public DetectTrace {
 public:
  void WholePictureAdded(const CandidateRect& rect) noexcept override { added_ = rect; }
  void CandidateTried(const CandidateRect& rect, const DecodedPayload& payload) noexcept override {
    nlohmann::ordered_json entry;
    entry["rect"] = Rect(rect);
    entry["text"] = VisibleText(payload.text.data());
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

nlohmann::ordered_json DetectTraced(const ImageRecord& picture, const char* which, double scale) {
  JsonTrace trace;
  std::array<char, kDetectOutputSize> text{};
  const std::uint8_t result = DetectAtScale(picture, text.data(), scale, nullptr, &trace);
  nlohmann::ordered_json out;
  out["picture"] = which;
  out["scale"] = scale;
  out["result"] = result;
  out["text"] = result == kResultOk ? VisibleText(text.data()) : "";
  out["tried"] = std::move(trace.tried);
  return out;
}

// Everything a signing decides. Returns false when memory runs out.
bool DescribeSigning(const ImageRecord& original, ImageRecord& signed_picture,
                     nlohmann::ordered_json& out) {
  // The regions a signing chooses, exactly, before the picture is touched.
  CandidateList list;
  if (FindEmbeddingCandidates(original, list) != kResultOk) return false;
  RemoveNestedCandidates(list);
  if (list.count() > 0 && ChooseRegions(list) != kResultOk) return false;

  if (!CopyPicture(signed_picture, original)) return false;
  EmbedOptions options;
  options.use_fixed_seed = true;
  options.fixed_seed = kSeed;
  EmbedReport report;
  const PayloadText payload =
      FormatPayload(std::string_view(kPayload).substr(kPayloadSignatureStart));
  const ResultCode result =
      EmbedSignature(signed_picture, payload, EngineControl{}, options, &report);
  out["seed"] = kSeed;
  out["payload"] = kPayload;
  out["result"] = CodeByte(result);
  nlohmann::ordered_json regions = nlohmann::ordered_json::array();
  for (std::int32_t i = 0; i < report.regions; ++i) {
    const CandidateRect& rect = list[static_cast<std::uint32_t>(i)];
    const auto& box = report.boxes[i];
    CellValues values;
    if (!MeasureRegion(signed_picture, rect, values)) return false;
    nlohmann::ordered_json cells = nlohmann::ordered_json::array();
    std::string bits;
    for (int c = 0; c < kCellCount; ++c) {
      cells.push_back(values.value[c]);
      bits.push_back(values.measured[c] && CellBitFromValue(values.value[c]) != 0 ? '1' : '0');
    }
    nlohmann::ordered_json region;
    region["rect"] = Rect(rect);
    region["box"] = {box[0], box[1], box[2], box[3]};
    region["passes"] = report.passes[i];
    region["max_abs_correction"] = report.max_abs_correction[i];
    region["cells"] = std::move(cells);
    region["bits"] = bits;
    regions.push_back(std::move(region));
  }
  out["regions"] = std::move(regions);
  out["blue_fnv1a64"] = Fnv1a64OfBlue(signed_picture);
  return true;
}

}  // namespace

int RunGolden(Arguments args) {
  ImageRecord picture;
  std::string name;
  if (args.size() == 2 && args[0] == "--synthetic") {
    name = std::string(args[1]);
    if (!MakeSynthetic(args[1], picture)) {
      std::fputs(kUsage, stderr);
      return kUsageError;
    }
  } else if (args.size() == 1) {
    name = std::string(args[0]);
    ImageRecord alpha;
    if (!LoadImage(platform::PathFromUtf8(name), picture, alpha)) {
      std::fprintf(stderr, "cannot read %s\n", name.c_str());
      return 1;
    }
    ConvertTo8BitColour(picture);
    if (picture.bits() != 8 || picture.channels() != 3) {
      std::fprintf(stderr, "%s is not an 8-bit colour picture\n", name.c_str());
      return 1;
    }
  } else {
    std::fputs(kUsage, stderr);
    return kUsageError;
  }

  BuildCheckTriples();
  nlohmann::ordered_json out;
  out["width"] = picture.width();
  out["height"] = picture.height();

  nlohmann::ordered_json candidates = nlohmann::ordered_json::array();
  for (const double scale : kCandidateScales) {
    CandidateList list;
    const std::uint8_t result = CandidatesAtScale(picture, scale, list);
    nlohmann::ordered_json entry;
    entry["scale"] = scale;
    entry["result"] = result;
    nlohmann::ordered_json rects = nlohmann::ordered_json::array();
    for (const CandidateRect& rect : list) rects.push_back(Rect(rect));
    entry["rects"] = std::move(rects);
    candidates.push_back(std::move(entry));
  }
  out["candidates"] = std::move(candidates);

  ImageRecord signed_picture;
  nlohmann::ordered_json signing;
  if (!DescribeSigning(picture, signed_picture, signing)) {
    std::fputs("not enough memory\n", stderr);
    return 1;
  }
  out["signing"] = std::move(signing);

  nlohmann::ordered_json detections = nlohmann::ordered_json::array();
  for (const double scale : kUnsignedDetectScales) {
    detections.push_back(DetectTraced(picture, "unsigned", scale));
  }
  detections.push_back(DetectTraced(signed_picture, "signed", 1.0));
  out["detections"] = std::move(detections);
  std::cout << out.dump(1) << '\n';
  return 0;
}

}  // namespace pmk::inspect
