// The stages of one detection (and one signing pass), each timed on its own
// at the smallest-but-one useful scale 1.0 and the largest, 2.05, where an
// unsigned picture's search spends most of its time.
//
//   stage_benchmarks [--photos=DIR] [--megapixels=N] [--lanes=4|8|16] [benchmark flags]
//
// Without --photos the picture is a mosaic of the committed photographs;
// --lanes keeps the arithmetic to that many lanes (see LimitVectorLanes).
#include <benchmark/benchmark.h>

#include <array>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <string>

#include "bench/bench_pictures.h"
#include "engine/engine.h"
#include "engine/internal/candidate_search.h"
#include "engine/internal/cell_grid.h"
#include "engine/internal/check_symbols.h"
#include "engine/internal/detect_at_scale.h"
#include "engine/internal/embed_preparation.h"
#include "engine/internal/embed_region.h"
#include "engine/internal/guide_plane.h"
#include "engine/internal/lattice_correction.h"
#include "engine/internal/payload_cells.h"
#include "engine/internal/random_rounding.h"
#include "engine/internal/region_choice.h"
#include "engine/internal/resample.h"
#include "engine/internal/separable_filter.h"

namespace pmk::bench {
namespace {

ImageRecord g_picture;
std::string g_description;

// What a detection has made of the picture at one scale, for the stages that
// come after the one being timed.
struct ScaleState {
  ImageRecord rescaled;  // three float channels
  ImageRecord guide;
  ImageRecord carrier;
  ImageRecord smoothed;
  CandidateList candidates;
};

double ScaleOf(const benchmark::State& state) {
  return state.range(0) / 100.0;
}

ScaleState& StateAt(double scale) {
  static std::map<double, std::unique_ptr<ScaleState>> states;
  auto& slot = states[scale];
  if (slot) return *slot;
  slot = std::make_unique<ScaleState>();
  ScaleState& s = *slot;
  ResampleImage(s.rescaled, g_picture, scale);
  CopyPicture(s.guide, s.rescaled);
  MakeGuidePlane(s.guide);
  s.candidates.Reserve(kDetectCandidateCapacity);
  FindCandidateRects(s.candidates, s.guide, kPairingDetection, scale, nullptr);
  const std::int32_t w = s.rescaled.width();
  const std::int32_t h = s.rescaled.height();
  s.carrier.Allocate(w, h, 1, 32);
  ExtractChannel(s.carrier, 0, s.rescaled);
  s.smoothed.Allocate(w, h, 1, 32);
  ImageRecord scratch;
  scratch.Allocate(w, h, 1, 32);
  SeparableFilter7(s.smoothed.Floats(), s.carrier.Floats(), w, h, scratch.Floats(),
                   kLowPassKernel7.data(), scale);
  return s;
}

void SetPixels(benchmark::State& state, const ImageRecord& plane) {
  state.counters["Mpixels"] = plane.width() * static_cast<double>(plane.height()) / 1e6;
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()) * plane.width() *
                          plane.height());
}

void BM_ResampleToFloat(benchmark::State& state) {
  const double scale = ScaleOf(state);
  ScaleState& s = StateAt(scale);
  ImageRecord out;
  out.Allocate(s.rescaled.width(), s.rescaled.height(), 3, 32);
  HeapArray<double> table;
  for (auto _ : state) {
    FillProductTable(table);
    ResampleToFloat(table.data(), out, g_picture, scale);
    benchmark::DoNotOptimize(out.data());
  }
  SetPixels(state, out);
}

// What detection does instead of the two stages above: resample straight
// into the guide and carrier planes.
void BM_ResampleToPlanes(benchmark::State& state) {
  const double scale = ScaleOf(state);
  ImageRecord guide;
  ImageRecord carrier;
  for (auto _ : state) {
    ResampleToPlanes(guide, carrier, g_picture, scale);
    benchmark::DoNotOptimize(carrier.data());
  }
  SetPixels(state, guide);
}

// The copy of the rescaled picture and its reduction to green-red, as the
// embedding (and formerly every detection) makes it.
void BM_GuidePlane(benchmark::State& state) {
  ScaleState& s = StateAt(ScaleOf(state));
  for (auto _ : state) {
    ImageRecord guide;
    CopyPicture(guide, s.rescaled);
    MakeGuidePlane(guide);
    benchmark::DoNotOptimize(guide.data());
  }
  SetPixels(state, s.guide);
}

void BM_FindCandidateRects(benchmark::State& state) {
  const double scale = ScaleOf(state);
  ScaleState& s = StateAt(scale);
  CandidateList list;
  list.Reserve(kDetectCandidateCapacity);
  for (auto _ : state) {
    list.Clear();
    FindCandidateRects(list, s.guide, kPairingDetection, scale, nullptr);
  }
  state.counters["candidates"] = list.count();
  SetPixels(state, s.guide);
}

// The 7-tap smoothing of the carrier (blue) plane that cells are read from.
void BM_CarrierSmoothing(benchmark::State& state) {
  const double scale = ScaleOf(state);
  ScaleState& s = StateAt(scale);
  const std::int32_t w = s.carrier.width();
  const std::int32_t h = s.carrier.height();
  ImageRecord out;
  HeapArray<float> ring;
  out.Allocate(w, h, 1, 32);
  ring.Allocate(FilterScratchFloats(w, 7));
  for (auto _ : state) {
    SeparableFilter7(out.Floats(), s.carrier.Floats(), w, h, ring.data(), kLowPassKernel7.data(),
                     scale);
    benchmark::DoNotOptimize(out.data());
  }
  SetPixels(state, s.carrier);
}

// Crop, label map, cell measurement and decoding of every candidate of the
// scale (the picture is unsigned, so none stops the walk early).
void BM_PerCandidate(benchmark::State& state) {
  const double scale = ScaleOf(state);
  ScaleState& s = StateAt(scale);
  CandidateList list;
  list.Reserve(kDetectCandidateCapacity);
  std::array<char, kDetectOutputSize> text{};
  std::uint32_t decoded = 0;
  double area = 0.0;
  for (const CandidateRect& r : s.candidates) area += (r.x1 - r.x0) * (r.y1 - r.y0);
  for (auto _ : state) {
    state.PauseTiming();
    list.Clear();
    for (const CandidateRect& r : s.candidates) list.Append(r);
    state.ResumeTiming();
    DecodeCandidates(s.smoothed, list, text.data(), nullptr, nullptr);
    decoded = list.count();
  }
  state.counters["candidates"] = decoded;
  state.counters["per_candidate"] = benchmark::Counter(
      static_cast<double>(decoded),
      benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
  state.counters["candidate_Mpixels"] = area / 1e6;
}

// One pass of a signing on the first region it would choose: filter the
// extended box, measure the cells, work out and round in the corrections.
void BM_EmbeddingPass(benchmark::State& state) {
  CandidateList list;
  FindEmbeddingCandidates(g_picture, list);
  RemoveNestedCandidates(list);
  if (list.count() == 0 || ChooseRegions(list) != kResultOk || list.count() == 0) {
    state.SkipWithError("no region to sign");
    return;
  }
  const CellGrid grid = MakeCellGrid(list[0]);
  const ExtendedBox extended_box = MakeExtendedBox(grid, g_picture.width(), g_picture.height());
  const std::int32_t left = extended_box.left;
  const std::int32_t top = extended_box.top;
  const std::int32_t w = extended_box.Width();
  const std::int32_t h = extended_box.Height();
  ImageRecord extended;
  ImageRecord filtered;
  ImageRecord scratch;
  ImageRecord region;
  ImageRecord mask;
  ImageRecord labels;
  extended.Allocate(w, h, 1, 8);
  filtered.Allocate(w, h, 1, 32);
  scratch.Allocate(w, h, 1, 32);
  region.Allocate(grid.BoxWidth(), grid.BoxHeight(), 1, 8);
  for (std::int32_t y = 0; y < h; ++y) {
    const std::uint8_t* in = g_picture.Row<std::uint8_t>(top + y);
    for (std::int32_t x = 0; x < w; ++x) extended.Row<std::uint8_t>(y)[x] = in[3 * (left + x)];
  }
  BuildCellMask(grid.cell_width, grid.cell_height, mask);
  BuildLabelMap(grid, mask, labels);
  const std::array<CellCentre, 256> centres = CellCentres(grid);
  RefineLabelMap(labels, centres, grid.cell_width, grid.cell_height);
  const CellGrid grid_in_extended = ShiftCellGrid(grid, left, top);
  const CellBits bits = EncodePayloadCells("signSIGNbench-01");
  CellValues values;
  for (auto _ : state) {
    for (std::int32_t y = 0; y < h; ++y) {
      const std::uint8_t* in = extended.Row<std::uint8_t>(y);
      float* out = filtered.Row<float>(y);
      for (std::int32_t x = 0; x < w; ++x) out[x] = in[x];
    }
    SeparableFilter7(filtered.Floats(), filtered.Floats(), w, h, scratch.Floats(),
                     kLowPassKernel7.data(), 1.0);
    MeasureGridCells(filtered, grid_in_extended, mask, centres, values, LabelMapState::kRefined);
    std::array<double, 256> corrections{};
    for (int t = 0; t < 256; ++t) {
      corrections[t] = values.measured[t] ? LatticeCorrection(values.value[t], bits[t]) : 0.0;
    }
    for (std::int32_t y = 0; y < region.height(); ++y) {
      std::memcpy(region.Row<std::uint8_t>(y),
                  extended.Row<std::uint8_t>(grid.top - top + y) + (grid.left - left),
                  static_cast<std::size_t>(region.width()));
    }
    Mt19937 generator(12345);
    ApplyCorrections(region, labels, corrections, generator);
    benchmark::DoNotOptimize(region.data());
  }
  state.counters["region_Mpixels"] = grid.BoxWidth() * static_cast<double>(grid.BoxHeight()) / 1e6;
}

void ScaleArguments(benchmark::internal::Benchmark* b) {
  b->Arg(100)->Arg(205)->ArgName("scale%")->Unit(benchmark::kMillisecond);
}

BENCHMARK(BM_ResampleToFloat)->Apply(ScaleArguments);
BENCHMARK(BM_GuidePlane)->Apply(ScaleArguments);
// And at the smallest scale of the series, where it reduces (area average).
BENCHMARK(BM_ResampleToPlanes)->Apply(ScaleArguments)->Arg(90);
BENCHMARK(BM_FindCandidateRects)->Apply(ScaleArguments);
BENCHMARK(BM_CarrierSmoothing)->Apply(ScaleArguments);
BENCHMARK(BM_PerCandidate)->Apply(ScaleArguments);
BENCHMARK(BM_EmbeddingPass)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace pmk::bench

int main(int argc, char** argv) {
  using namespace pmk::bench;
  const std::string photos = TakeFlag(argc, argv, "photos");
  const double megapixels = std::stod(TakeFlag(argc, argv, "megapixels", "3"));
  if (!MakePhotoLike(megapixels, photos, g_picture, g_description)) {
    std::fprintf(stderr, "cannot make a %.1f-megapixel picture\n", megapixels);
    return 1;
  }
  const int lanes = std::stoi(TakeFlag(argc, argv, "lanes", "16"));
  pmk::LimitVectorLanes(lanes);
  pmk::BuildCheckTriples();
  benchmark::AddCustomContext("lanes", std::to_string(lanes));
  benchmark::AddCustomContext("picture", g_description + " (" + std::to_string(g_picture.width()) +
                                             "x" + std::to_string(g_picture.height()) + ")");
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
