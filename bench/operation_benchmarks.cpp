// Whole operations on photographs of 3, 12 and 24 megapixels: signing, the
// search of an unsigned picture on one and two cores (the case that tries
// every scale), and the search of a signed one. Each reports its time, the
// peak resident memory it reached, and how time grows with the pixel count.
//
//   operation_benchmarks [--photos=DIR] [--megapixels=3,12,24] [benchmark flags]
//
// Each case runs once by default (they take seconds); add
// --benchmark_repetitions=5 for medians. Pictures above 20,000,000 pixels
// are searched on as many threads as the memory budget allows.
#include <benchmark/benchmark.h>

#include <array>
#include <cstdio>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "bench/bench_pictures.h"
#include "engine/engine.h"
#include "engine/internal/check_symbols.h"
#include "engine/internal/detect_at_scale.h"
#include "engine/internal/detect_signature.h"
#include "engine/internal/embed_options.h"
#include "engine/internal/embed_preparation.h"

namespace pmk::bench {
namespace {

PayloadText Payload() {
  return FormatPayload("bench-01");
}

std::string g_photos;

struct Pictures {
  ImageRecord original;
  ImageRecord signed_picture;
  std::string description;
};

// Built on first use and kept, so that no case pays for another's set-up.
Pictures& PicturesOf(std::int64_t megapixels) {
  static std::map<std::int64_t, std::unique_ptr<Pictures>> cache;
  auto& slot = cache[megapixels];
  if (slot) return *slot;
  slot = std::make_unique<Pictures>();
  if (!MakePhotoLike(static_cast<double>(megapixels), g_photos, slot->original,
                     slot->description)) {
    std::fprintf(stderr, "cannot make a %lld-megapixel picture\n",
                 static_cast<long long>(megapixels));
    std::exit(1);
  }
  CopyPicture(slot->signed_picture, slot->original);
  EmbedOptions options;
  options.use_fixed_seed = true;
  options.fixed_seed = 1;
  EmbedSignature(slot->signed_picture, Payload(), EngineControl{}, options, nullptr);
  return *slot;
}

// peak_MiB is the process's peak while the case ran, which includes the
// pictures this program keeps; added_MiB is what the operation itself added.
void Report(benchmark::State& state, const ImageRecord& picture, double peak, double before) {
  const std::int64_t pixels = static_cast<std::int64_t>(picture.width()) * picture.height();
  state.SetComplexityN(pixels);
  state.counters["Mpixels"] = static_cast<double>(pixels) / 1e6;
  state.counters["peak_MiB"] = peak;
  state.counters["added_MiB"] = peak - before;
}

void BM_EmbedSignature(benchmark::State& state) {
  Pictures& p = PicturesOf(state.range(0));
  EmbedOptions options;
  options.use_fixed_seed = true;
  options.fixed_seed = 1;
  double peak = 0;
  double before = 0;
  for (auto _ : state) {
    state.PauseTiming();
    ImageRecord work;
    CopyPicture(work, p.original);
    ResetPeakMemory();
    before = CurrentMemoryMiB();
    state.ResumeTiming();
    if (EmbedSignature(work, Payload(), EngineControl{}, options, nullptr) != ResultCode::kOk) {
      state.SkipWithError("signing failed");
    }
    peak = std::max(peak, PeakMemoryMiB());
  }
  Report(state, p.original, peak, before);
}

void Detect(benchmark::State& state, const ImageRecord& picture, int cores, ResultCode expected) {
  const EngineControl control{.threads = static_cast<std::uint8_t>(cores)};
  double peak = 0;
  double before = 0;
  for (auto _ : state) {
    state.PauseTiming();
    ResetPeakMemory();
    before = CurrentMemoryMiB();
    OutputText text;
    state.ResumeTiming();
    if (DetectSignature(picture, text, control) != expected) state.SkipWithError("wrong verdict");
    peak = std::max(peak, PeakMemoryMiB());
  }
  Report(state, picture, peak, before);
}

void BM_DetectUnsigned(benchmark::State& state) {
  Detect(state, PicturesOf(state.range(0)).original, static_cast<int>(state.range(1)),
         ResultCode::kRefused);
}

void BM_DetectSigned(benchmark::State& state) {
  Detect(state, PicturesOf(state.range(0)).signed_picture, 2, ResultCode::kOk);
}

std::vector<std::int64_t> g_sizes;

// Signing refuses pictures above 20,000,000 pixels, so the signing and the
// search of a signed picture run only on the sizes below.
void SignableSizes(benchmark::internal::Benchmark* b) {
  for (const std::int64_t mp : g_sizes) {
    if (mp * 1'000'000 <= kMaxEmbedPixels) b->Arg(mp);
  }
}

void SizesAndCores(benchmark::internal::Benchmark* b) {
  for (const std::int64_t mp : g_sizes) b->Args({mp, 1});
}

void SizesTwoCores(benchmark::internal::Benchmark* b) {
  for (const std::int64_t mp : g_sizes) b->Args({mp, 2});
}

void Register() {
  const auto common = [](benchmark::internal::Benchmark* b) {
    b->Iterations(1)->UseRealTime()->Unit(benchmark::kSecond)->Complexity(benchmark::oN);
  };
  common(benchmark::RegisterBenchmark("EmbedSignature", BM_EmbedSignature)
             ->Apply(SignableSizes)
             ->ArgName("MP"));
  common(benchmark::RegisterBenchmark("DetectUnsigned/cores:1", BM_DetectUnsigned)
             ->Apply(SizesAndCores)
             ->ArgNames({"MP", "cores"}));
  common(benchmark::RegisterBenchmark("DetectUnsigned/cores:2", BM_DetectUnsigned)
             ->Apply(SizesTwoCores)
             ->ArgNames({"MP", "cores"}));
  common(benchmark::RegisterBenchmark("DetectSigned", BM_DetectSigned)
             ->Apply(SignableSizes)
             ->ArgName("MP"));
}

}  // namespace
}  // namespace pmk::bench

int main(int argc, char** argv) {
  using namespace pmk::bench;
  g_photos = TakeFlag(argc, argv, "photos");
  std::stringstream sizes(TakeFlag(argc, argv, "megapixels", "3,12,24"));
  for (std::string item; std::getline(sizes, item, ',');) g_sizes.push_back(std::stoll(item));
  pmk::BuildCheckTriples();
  Register();
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
