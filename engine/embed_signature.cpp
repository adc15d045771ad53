#include "engine/engine.h"
#include "engine/internal/candidate_rect.h"
#include "engine/internal/cell_grid.h"
#include "engine/internal/checkpoints.h"
#include "engine/internal/embed_preparation.h"
#include "engine/internal/embed_region.h"
#include "engine/internal/payload_cells.h"
#include "engine/internal/region_choice.h"
#include "engine/internal/spare_cores.h"

namespace pmk {
namespace {

std::uint8_t Sign(ImageRecord& image, const char* payload_text, const Checkpoints& checkpoints,
                  const EmbedOptions& options, EmbedReport& outcome) noexcept {
  // Callers only pass 8-bit colour pictures; anything else would be read out
  // of bounds, so it is refused untouched rather than trusted.
  if (image.bits() != 8 || image.channels() < 3 || !image.HasData()) return kResultRefused;

  // The clamp comes first and stays, whatever happens next.
  ClampCarrier(image);
  if (static_cast<std::int64_t>(image.width()) * image.height() > kMaxEmbedPixels) {
    return kResultRefused;
  }

  CandidateList list;
  const std::uint8_t search_result = FindEmbeddingCandidates(image, list, checkpoints);
  if (search_result != kResultOk) return search_result;
  const RegionPreference preference =
      options.larger_regions ? RegionPreference::kLarger : RegionPreference::kSmaller;
  RemoveNestedCandidates(list);
  if (list.count() > 0) {
    const std::uint8_t choice_result = ChooseRegions(list, preference);
    if (choice_result != kResultOk) return choice_result;
  }

  const CellBits bits = EncodePayloadCells(payload_text);
  const std::int32_t regions = static_cast<std::int32_t>(list.count());
  outcome.regions = regions;
  for (std::int32_t i = 0; i < regions; ++i) {
    const CellGrid grid = MakeCellGrid(list[static_cast<std::uint32_t>(i)]);
    outcome.boxes[i] = {grid.left, grid.top, grid.right, grid.bottom};
  }

  for (std::int32_t i = 0; i < regions; ++i) {
    const CellGrid grid = MakeCellGrid(list[static_cast<std::uint32_t>(i)]);
    RegionOutcome region;
    const std::uint8_t result = SignRegion(image, grid, bits, options, region);
    outcome.passes[i] = region.passes;
    outcome.max_abs_correction[i] = region.max_abs_correction;
    if (result != kResultOk) return result;
  }
  return kResultOk;
}

}  // namespace

ResultCode EmbedSignature(ImageRecord& image, const PayloadText& payload,
                          const EngineControl& control) noexcept {
  return EmbedSignature(image, payload, control, EmbedOptions{}, nullptr);
}

ResultCode EmbedSignature(ImageRecord& image, const PayloadText& payload,
                          const EngineControl& control, const EmbedOptions& options,
                          EmbedReport* report) noexcept {
  EmbedReport local_report;
  EmbedReport& outcome = report != nullptr ? *report : local_report;
  outcome = EmbedReport{};
  const OperationCores cores(control.threads);
  const Checkpoints checkpoints(control.notifier, control.stop);
  return AsResultCode(Sign(image, payload.c_str(), checkpoints, options, outcome));
}

}  // namespace pmk
