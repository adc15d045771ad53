// PMKInspect cells IMAGE --rect x0,y0,x1,y1: the 256 cell values a detection at
// scale 1 reads in that rectangle of the picture's blue channel, their bits
// and the payload they decode to.
#include <charconv>
#include <cmath>
#include <cstdio>
#include <iostream>
#include <nlohmann/json.hpp>
#include <string>
#include <string_view>

#include "engine/internal/candidate_rect.h"
#include "engine/internal/cell_grid.h"
#include "engine/internal/payload_cells.h"
#include "engine/internal/separable_filter.h"
#include "image/checked_allocation.h"
#include "image/image_record.h"
#include "tools/inspect/inspect_commands.h"
#include "tools/inspect/inspect_picture.h"

namespace pmk::inspect {
namespace {

inline constexpr double kDetectionScale = 1.0;
inline constexpr int kCarrierChannel = 0;

void PrintUsage() {
  std::fputs("usage: PMKInspect cells IMAGE --rect x0,y0,x1,y1\n", stderr);
}

bool ParseRect(std::string_view text, CandidateRect& rect) {
  double values[4];
  const char* at = text.data();
  const char* end = text.data() + text.size();
  for (int i = 0; i < 4; ++i) {
    const auto [next, error] = std::from_chars(at, end, values[i]);
    if (error != std::errc() || !std::isfinite(values[i])) return false;
    at = next;
    if (i < 3) {
      if (at == end || *at != ',') return false;
      ++at;
    }
  }
  if (at != end) return false;
  rect = {values[0], values[1], values[2], values[3]};
  return rect.x0 >= 0 && rect.y0 >= 0 && rect.x0 < rect.x1 && rect.y0 < rect.y1;
}

bool ParseArguments(Arguments args, std::string& image, CandidateRect& rect) {
  if (args.size() != 3 || args[1] != "--rect") return false;
  image = std::string(args[0]);
  return ParseRect(args[2], rect);
}

// The carrier channel of the whole picture, smoothed as a detection at scale 1
// smooths it before cutting out any region.
bool SmoothedCarrier(const ImageRecord& picture, ImageRecord& smoothed) {
  const std::int32_t width = picture.width();
  const std::int32_t height = picture.height();
  ImageRecord carrier;
  HeapArray<float> scratch;
  if (carrier.Allocate(width, height, 1, 32) != kResultOk ||
      smoothed.Allocate(width, height, 1, 32) != kResultOk ||
      !scratch.Allocate(static_cast<std::size_t>(width) * static_cast<std::size_t>(height))) {
    return false;
  }
  for (std::int32_t y = 0; y < height; ++y) {
    const std::uint8_t* in = picture.Row<std::uint8_t>(y);
    float* out = carrier.Row<float>(y);
    for (std::int32_t x = 0; x < width; ++x) out[x] = in[3 * x + kCarrierChannel];
  }
  SeparableFilter7(smoothed.Floats(), carrier.Floats(), width, height, scratch.data(),
                   kLowPassKernel7.data(), kDetectionScale);
  return true;
}

}  // namespace

int RunCells(Arguments args) {
  std::string name;
  CandidateRect rect;
  if (!ParseArguments(args, name, rect)) {
    PrintUsage();
    return kUsageError;
  }
  ImageRecord colour;
  ImageRecord alpha;
  if (!LoadColourPicture(name, colour, alpha)) return 1;
  const CellGrid grid = MakeCellGrid(rect);
  if (grid.right > colour.width() || grid.bottom > colour.height()) {
    std::fprintf(stderr, "the rectangle's box reaches beyond the %dx%d picture\n", colour.width(),
                 colour.height());
    return 1;
  }
  // The filter leaves planes below its size unwritten: nothing to measure.
  if (colour.width() < 7 || colour.height() < 7) {
    std::fputs("the picture is too small to filter\n", stderr);
    return 1;
  }

  ImageRecord smoothed;
  ImageRecord mask;
  if (!SmoothedCarrier(colour, smoothed) ||
      BuildCellMask(grid.cell_width, grid.cell_height, mask) != kResultOk) {
    std::fputs("not enough memory\n", stderr);
    return 1;
  }
  CellValues values;
  MeasureGridCells(smoothed, grid, mask, CellCentres(grid), values);

  CellBits bits{};
  std::string bit_text(kCellCount, '0');
  nlohmann::ordered_json value_list = nlohmann::ordered_json::array();
  for (int t = 0; t < kCellCount; ++t) {
    // A cell without samples has no value; it reads as 0.
    bits[t] = values.measured[t] ? CellBitFromValue(values.value[t]) : 0;
    bit_text[t] = bits[t] != 0 ? '1' : '0';
    value_list.push_back(values.value[t]);
  }
  const DecodedPayload decoded = DecodePayloadCells(bits);

  // Trailing NULs dropped; a NUL inside stays in place as \u0000.
  const std::string_view all(decoded.text.data(), kPayloadSymbolCount);
  const std::size_t last = all.find_last_not_of('\0');
  nlohmann::ordered_json out;
  out["values"] = std::move(value_list);
  out["bits"] = bit_text;
  out["text"] = std::string(all.substr(0, last == std::string_view::npos ? 0 : last + 1));
  out["consistent"] = decoded.consistent;
  out["valid"] = decoded.valid;
  std::cout << out.dump() << '\n';
  return 0;
}

}  // namespace pmk::inspect
