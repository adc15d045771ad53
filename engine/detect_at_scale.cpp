#include "engine/internal/detect_at_scale.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>

#include "engine/engine.h"
#include "engine/internal/candidate_search.h"
#include "engine/internal/cell_grid.h"
#include "engine/internal/guide_plane.h"
#include "engine/internal/resample.h"
#include "engine/internal/search_work.h"
#include "engine/internal/separable_filter.h"
#include "engine/internal/spare_cores.h"
#include "engine/internal/whole_picture_candidate.h"

namespace pmk {
namespace {

// Only boxes that lie inside the plane can be read; the search never yields
// others, but a box outside would read foreign memory.
bool BoxInside(const CandidateRect& rect, ConstFloatPlane plane) noexcept {
  if (!(rect.x0 >= 0.0) || !(rect.y0 >= 0.0)) return false;
  if (!(rect.x1 <= plane.width) || !(rect.y1 <= plane.height)) return false;
  return std::ceil(rect.x1) > std::trunc(rect.x0) && std::ceil(rect.y1) > std::trunc(rect.y0);
}

// Sets up the measurement of every candidate whose box lies in the plane,
// each with its own cell mask. False when the masks cannot be had.
bool StartMeasurements(ConstFloatPlane smoothed, const CandidateList& list,
                       CellReadingWork& work) noexcept {
  const std::uint32_t count = list.count();
  std::size_t values = 0;
  for (std::uint32_t k = 0; k < count; ++k) {
    if (!BoxInside(list[k], smoothed)) continue;
    const CellGrid grid = MakeCellGrid(list[k]);
    values += CellMaskValues(grid.cell_width, grid.cell_height);
  }
  if (!EnsureCapacity(work.masks, std::max<std::size_t>(values, 1)) ||
      !EnsureCapacity(work.grids, count)) {
    return false;
  }
  std::uint16_t* mask_values = work.masks.data();
  for (std::uint32_t k = 0; k < count; ++k) {
    GridMeasurement& m = work.grids[k];
    m.grid_row = kCellsPerSide;
    if (!BoxInside(list[k], smoothed)) continue;
    const CellGrid grid = MakeCellGrid(list[k]);
    const ConstMaskPlane mask = FillCellMaskAt(grid.cell_width, grid.cell_height, mask_values);
    mask_values += CellMaskValues(grid.cell_width, grid.cell_height);
    StartGridMeasurement(m, smoothed, grid, mask, CellCentres(grid));
  }
  return true;
}

// Measures the candidates `first`, `first + step`, ... in one sweep down the
// plane, with a checkpoint every few rows. The sweep's workers look at the
// flags only and never call the notifier: the decoding that follows asks it
// before every candidate.
void SweepCandidates(ConstFloatPlane smoothed, const CandidateList& list, std::uint32_t first,
                     std::uint32_t step, const Checkpoints& checkpoints, CellReadingWork& work,
                     Magnitudes* blocks) noexcept {
  constexpr std::int32_t kRowsBetweenStopChecks = 64;
  std::int32_t top = smoothed.height;
  std::int32_t bottom = 0;
  for (std::uint32_t k = first; k < list.count(); k += step) {
    const GridMeasurement& m = work.grids[k];
    if (m.grid_row == kCellsPerSide) continue;
    top = std::min(top, m.grid.top);
    bottom = std::max(bottom, m.grid.bottom);
  }
  for (std::int32_t y = top; y < bottom; y += kRowsBetweenStopChecks) {
    if (checkpoints.Flagged()) return;
    SweepGridMeasurements(smoothed, work.grids.data(), list.count(), first, step, y,
                          std::min(y + kRowsBetweenStopChecks, bottom), blocks);
  }
}

}  // namespace

void RemoveDuplicateCandidates(CandidateList& list) noexcept {
  const std::uint32_t count = list.count();
  for (std::uint32_t i = 0; i < count; ++i) {
    for (std::uint32_t j = i + 1; j < count; ++j) {
      const CandidateRect& a = list[i];
      CandidateRect& b = list[j];
      if (std::fabs(a.x0 - b.x0) < kDuplicateTolerance &&
          std::fabs(a.y0 - b.y0) < kDuplicateTolerance &&
          std::fabs(a.x1 - b.x1) < kDuplicateTolerance &&
          std::fabs(a.y1 - b.y1) < kDuplicateTolerance) {
        b = CandidateRect{-1.0, -1.0, -1.0, -1.0};
      }
    }
  }
  std::uint32_t kept = 0;
  for (std::uint32_t i = 0; i < count; ++i) {
    if (!(list[i].y0 < 0.0)) list[kept++] = list[i];
  }
  list.SetCount(kept);
}

std::uint8_t DecodeCandidates(const ImageRecord& smoothed, CandidateList& list, char* output_text,
                              const Checkpoints& checkpoints, DetectTrace* trace) noexcept {
  CellReadingWork work;
  return DecodeCandidates(FloatPlaneOf(smoothed), list, output_text, checkpoints, trace, work);
}

std::uint8_t DecodeCandidates(ConstFloatPlane smoothed, CandidateList& list, char* output_text,
                              const Checkpoints& checkpoints, DetectTrace* trace,
                              CellReadingWork& work) noexcept {
  RemoveDuplicateCandidates(list);
  const std::uint32_t count = list.count();
  if (count == 0 || checkpoints.StopAsked()) return kResultRefused;
  // Every candidate is measured first, in one sweep (split among idle cores
  // by candidate); the verdicts are then taken in list order, with a
  // checkpoint before each, so the result, the output text and the trace are
  // those of reading the candidates one by one.
  const bool measured = StartMeasurements(smoothed, list, work);
  if (measured) {
    const auto workers =
        std::min<std::uint32_t>(count, static_cast<std::uint32_t>(IdleCores()) + 1);
    // Without room for the blocks, each box takes its own rows' magnitudes.
    const std::size_t blocks = SweepMagnitudeBlocks(smoothed.width);
    const bool shared = EnsureCapacity(work.row_blocks, blocks * workers);
    const auto blocks_of = [&](std::uint32_t worker) {
      return shared ? work.row_blocks.data() + worker * blocks : nullptr;
    };
    if (workers > 1) {
      ParallelFor(static_cast<std::int32_t>(workers), [&](std::int32_t i, int) noexcept {
        const auto worker = static_cast<std::uint32_t>(i);
        SweepCandidates(smoothed, list, worker, workers, checkpoints, work, blocks_of(worker));
      });
    } else {
      SweepCandidates(smoothed, list, 0, 1, checkpoints, work, blocks_of(0));
    }
  }
  for (std::uint32_t k = 0; k < count; ++k) {
    if (checkpoints.StopAsked()) return kResultRefused;
    if (!BoxInside(list[k], smoothed)) continue;
    if (!measured) return kResultNoMemory;
    const CellValues& values = FinishGridMeasurement(work.grids[k]);
    CellBits bits{};
    for (int c = 0; c < kCellCount; ++c) bits[c] = CellBitFromValue(values.value[c]);
    const DecodedPayload payload = DecodePayloadCells(bits);
    std::memset(output_text, 0, kDetectOutputSize);
    std::memcpy(output_text, payload.text.data(), kPayloadSymbolCount);
    if (trace != nullptr) trace->CandidateTried(list[k], payload);
    if (payload.valid) return kResultOk;
  }
  return kResultRefused;
}

std::uint8_t DetectAtScale(const ImageRecord& image, char* output_text, double scale,
                           const Checkpoints& checkpoints, DetectTrace* trace) noexcept {
  DetectWorkspace workspace;
  return DetectAtScale(image, output_text, scale, checkpoints, trace, workspace);
}

std::uint8_t DetectAtScale(const ImageRecord& image, char* output_text, double scale,
                           const Checkpoints& checkpoints, DetectTrace* trace,
                           DetectWorkspace& workspace) noexcept {
  if (!checkpoints.NotifierContinues()) return kResultRefused;
  if (checkpoints.StopRequested()) return kResultRefused;
  const double width = image.width();
  const double height = image.height();
  if (width * height * scale * scale > kMaxRescaledPixels) return kResultRefused;
  // Another thread of the search has found the signature.
  if (checkpoints.Found()) return kResultRefused;
  // The resampler reads three bytes per pixel; any other layout would be read
  // out of bounds, and a picture smaller than the filters cannot carry cells.
  if (image.channels() != 3 || image.bits() != 8 || !image.HasData()) return kResultRefused;
  if (!(scale > 0.0) || scale * width < 7.0 || scale * height < 7.0) return kResultRefused;

  // The picture is resampled straight into the two planes used: the guide
  // plane (green and red) for the search and the carrier (blue) for the cells.
  // Both live in the workspace, which keeps them for the next scale.
  std::int32_t plane_width = 0;
  std::int32_t plane_height = 0;
  if (!RescaledPlaneSize(image, scale, plane_width, plane_height)) return kResultNoMemory;
  const std::size_t samples =
      static_cast<std::size_t>(plane_width) * static_cast<std::size_t>(plane_height);
  std::size_t largest = 0;
  std::int32_t largest_width = 0;
  std::int32_t largest_height = 0;
  const double top_scale = workspace.largest_scale;
  if (top_scale > scale && width * height * top_scale * top_scale <= kMaxRescaledPixels &&
      RescaledPlaneSize(image, top_scale, largest_width, largest_height)) {
    largest = static_cast<std::size_t>(largest_width) * static_cast<std::size_t>(largest_height);
  }
  if (!workspace.FitPlanes(samples, largest)) return kResultNoMemory;
  // With one plane's memory, a scale whose two planes fit in it side by side
  // (those below the largest by a factor of about 1.4) still takes both at
  // once; only the larger ones resample the carrier after the search.
  const bool one_plane = workspace.one_plane && workspace.guide.size() / 2 < samples;
  float* const carrier_data = !workspace.one_plane ? workspace.carrier.data()
                              : one_plane          ? workspace.guide.data()
                                                   : workspace.guide.data() + samples;
  const FloatPlane guide{workspace.guide.data(), plane_width, plane_height};
  const FloatPlane smoothed{carrier_data, plane_width, plane_height};
  const std::uint8_t resampled =
      one_plane ? ResampleToPlane(guide, PlaneContent::kGuide, image, scale, workspace.resample)
                : ResampleToPlanes(guide, smoothed, image, scale, workspace.resample);
  if (resampled != kResultOk) return resampled;
  if (checkpoints.StopAsked()) return kResultRefused;

  CandidateList& candidates = workspace.candidates;
  if (!candidates.Reserve(kDetectCandidateCapacity)) return kResultNoMemory;
  const std::uint8_t found =
      FindCandidateRects(candidates, guide, 1, scale, checkpoints, workspace.corners);
  if (found != kResultOk) return found;
  if (AppendWholePicture(candidates, plane_width, plane_height) && trace != nullptr) {
    trace->WholePictureAdded(candidates[candidates.count() - 1]);
  }
  if (checkpoints.StopAsked()) return kResultRefused;

  // The guide is not read again: with one plane, the carrier takes its place.
  if (one_plane) {
    const std::uint8_t carrier =
        ResampleToPlane(smoothed, PlaneContent::kCarrier, image, scale, workspace.resample);
    if (carrier != kResultOk) return carrier;
    if (checkpoints.StopAsked()) return kResultRefused;
  }
  // The carrier is smoothed in place: the filter only needs a few rows.
  const std::uint8_t smoothing = SeparableFilter7InBands(
      smoothed.data, plane_width, plane_height, kLowPassKernel7.data(), scale, workspace.smoothing);
  if (smoothing != kResultOk) return smoothing;
  return DecodeCandidates(smoothed, candidates, output_text, checkpoints, trace, workspace.cells);
}

bool DetectWorkspace::FitPlanes(std::size_t samples, std::size_t largest) noexcept {
  const auto fits = [&](const HeapArray<float>& plane) {
    return !plane.empty() && plane.size() >= samples;
  };
  if (one_plane) {
    if (fits(guide)) return true;
    if (!guide.empty() && largest > samples && EnsureExactCapacity(guide, largest)) return true;
    return EnsureExactCapacity(guide, samples);
  }
  if (fits(guide) && fits(carrier)) return true;
  // Growing: straight to the largest size, when it can be had; a scale that
  // fits without it still runs when it cannot.
  const bool growing = !guide.empty() || !carrier.empty();
  if (growing && largest > samples && EnsureExactCapacity(guide, largest) &&
      EnsureExactCapacity(carrier, largest)) {
    return true;
  }
  return EnsureExactCapacity(guide, samples) && EnsureExactCapacity(carrier, samples);
}

}  // namespace pmk
