// PMKInspect regions IMAGE [--robust]: the candidate regions a signing of
// IMAGE would consider (after nested ones are dropped), the ones it would
// choose, and their integer boxes; with --robust those of a signing with
// larger regions.
#include <cstdio>
#include <iostream>
#include <nlohmann/json.hpp>
#include <string>

#include "engine/internal/candidate_rect.h"
#include "engine/internal/cell_grid.h"
#include "engine/internal/embed_preparation.h"
#include "engine/internal/region_choice.h"
#include "image/image_record.h"
#include "tools/inspect/inspect_commands.h"
#include "tools/inspect/inspect_picture.h"

namespace pmk::inspect {
namespace {

nlohmann::ordered_json RectsToJson(const CandidateList& list) {
  nlohmann::ordered_json rects = nlohmann::ordered_json::array();
  for (const CandidateRect& rect : list) rects.push_back({rect.x0, rect.y0, rect.x1, rect.y1});
  return rects;
}

}  // namespace

int RunRegions(Arguments args) {
  const bool robust = args.size() == 2 && args[1] == "--robust";
  if (args.size() != 1 && !robust) {
    std::fputs("usage: PMKInspect regions IMAGE [--robust]\n", stderr);
    return kUsageError;
  }
  const RegionPreference preference =
      robust ? RegionPreference::kLarger : RegionPreference::kSmaller;
  const std::string name(args[0]);
  ImageRecord colour;
  ImageRecord alpha;
  if (!LoadColourPicture(name, colour, alpha)) return 1;

  // The guide plane ignores blue, so the clamp of a real signing cannot
  // change what is found.
  CandidateList list;
  const std::uint8_t result = FindEmbeddingCandidates(colour, list);
  if (result != kResultOk) {
    std::fprintf(stderr, "candidate search failed with code %d\n", result);
    return 1;
  }
  RemoveNestedCandidates(list);
  nlohmann::ordered_json out;
  out["candidates"] = RectsToJson(list);
  if (list.count() > 0 && ChooseRegions(list, preference) != kResultOk) {
    std::fputs("not enough memory to choose regions\n", stderr);
    return 1;
  }
  out["chosen"] = RectsToJson(list);
  nlohmann::ordered_json boxes = nlohmann::ordered_json::array();
  for (const CandidateRect& rect : list) {
    const CellGrid grid = MakeCellGrid(rect);
    boxes.push_back({grid.left, grid.top, grid.right, grid.bottom});
  }
  out["boxes"] = std::move(boxes);
  std::cout << out.dump() << '\n';
  return 0;
}

}  // namespace pmk::inspect
