#include "engine/internal/detect_signature.h"

#include <algorithm>
#include <functional>
#include <optional>
#include <thread>

#include "engine/engine.h"
#include "engine/internal/check_symbols.h"
#include "engine/internal/detect_at_scale.h"
#include "engine/internal/payload_cells.h"
#include "engine/internal/scale_order.h"
#include "engine/internal/search_memory_budget.h"
#include "engine/internal/search_work.h"
#include "engine/internal/spare_cores.h"

namespace pmk {
namespace {

// The largest scale of a series: the working memory of a search is sized for
// it once, and every smaller scale reuses it.
double LargestScale(DetectionMode mode) noexcept {
  return SeriesScale(mode, SeriesScaleCount(mode) - 1);
}

std::uint8_t SearchSequentially(const ImageRecord& record, char* output_text,
                                const Checkpoints& checkpoints, DetectionMode mode) noexcept {
  std::uint8_t result = kResultRefused;
  const std::int32_t count = SeriesScaleCount(mode);
  DetectWorkspace workspace;
  workspace.largest_scale = LargestScale(mode);
  for (std::int32_t i = 0; i < count; ++i) {
    checkpoints.Report(i + 1);
    if (!checkpoints.NotifierContinues()) return kResultRefused;
    if (checkpoints.StopRequested()) return kResultRefused;
    result = DetectAtScale(record, output_text, SequentialScale(mode, i), checkpoints, nullptr,
                           workspace);
    if (result == kResultOk || result == kResultNoMemory) break;
  }
  return result;
}

}  // namespace

double SeriesScale(DetectionMode mode, std::int32_t m) noexcept {
  if (mode == DetectionMode::kPreSigning) return m * 0.07 + 0.93;
  return m * 0.05 + 0.9;
}

double SequentialScale(DetectionMode mode, std::int32_t i) noexcept {
  // Unscaled pictures are by far the most common, so 1.0 comes first and the
  // smallest scale takes its place in the series.
  if (i == 0) return 1.0;
  if (mode == DetectionMode::kPreSigning) return i == 1 ? 0.93 : SeriesScale(mode, i);
  return i == 2 ? 0.9 : SeriesScale(mode, i);
}

int SearchThreadCount() noexcept {
  return std::min(ThreadLimit(), kMaxSearchThreads);
}

void ScaleSearchThread(SearchBlock& block) noexcept {
  DetectWorkspace own;
  // Other threads hold their planes at the same time: one plane each.
  own.one_plane = true;
  DetectWorkspace& workspace = block.workspace != nullptr ? *block.workspace : own;
  double largest = 0.0;
  for (std::int32_t index = block.start; index < block.end; index += block.step) {
    largest = std::max(largest, SeriesScale(block.mode, block.order[index]));
  }
  workspace.largest_scale = largest;
  for (std::int32_t index = block.start; index < block.end; index += block.step) {
    if (!block.checkpoints.NotifierContinues()) break;
    if (block.checkpoints.StopRequested()) break;
    const double scale = SeriesScale(block.mode, block.order[index]);
    const std::uint8_t result =
        DetectAtScale(*block.image, block.text, scale, block.checkpoints, nullptr, workspace);
    if (result == kResultOk && block.found_slot != nullptr) block.found_slot->store(block.start);
  }
  // The share is done: its memory can serve the threads still searching.
  workspace.Release();
}

std::uint8_t SearchScalesThreaded(const ImageRecord& record, char* output_text,
                                  const Checkpoints& checkpoints, DetectionMode mode) noexcept {
  const std::int32_t count = SeriesScaleCount(mode);
  // More threads than scales would only idle; with at least as many threads
  // as scales every thread takes one scale whatever the count.
  const int n = SearchThreadsFor(record.width(), record.height(), mode);
  const std::array<std::int32_t, 24> order = SeriesScaleOrder(mode, n);

  std::array<std::array<char, kDetectOutputSize>, kMaxSearchThreads> texts;
  std::array<SearchBlock, kMaxSearchThreads> blocks{};
  std::array<DetectWorkspace, kMaxSearchThreads> workspaces;
  // Made here, so every search starts with nothing found whatever an earlier
  // one left behind.
  std::atomic<std::int32_t> found_slot{-1};
  Checkpoints search = checkpoints;
  search.found_slot = &found_slot;
  for (int t = 0; t < n; ++t) {
    // Every thread holds its planes while the others hold theirs, so each
    // keeps one plane rather than two (search_work.h).
    workspaces[t].one_plane = true;
    SearchBlock& block = blocks[t];
    block.start = t;
    block.step = n;
    block.end = count;
    block.text = texts[t].data();
    block.image = &record;
    block.order = order;
    block.checkpoints = search;
    block.found_slot = &found_slot;
    block.mode = mode;
    block.workspace = &workspaces[t];
  }

  // Every search thread counts as busy while it has scales left, so that a
  // scale borrows only the cores of threads that are done (spare_cores.h).
  // The workers are counted before they start, and each gives its core back
  // when its share is done.
  std::optional<BusyThread> caller;
  caller.emplace();
  CorePool* const pool = CurrentCorePool();
  ClaimCores(n - 1);
  std::array<std::thread, kMaxSearchThreads> threads;
  int started = 1;  // thread 0 is the caller
  for (; started < n; ++started) {
    try {
      threads[started] = std::thread([&block = blocks[started], pool] {
        MarkHelperThread(pool);
        ScaleSearchThread(block);
        ReleaseCores(1);
      });
    } catch (...) {
      // The system would not give us another thread; the caller takes over
      // the shares of the threads that did not start, so no scale is skipped.
      break;
    }
  }
  ReleaseCores(n - started);

  DetectWorkspace& own = workspaces[0];
  double largest = 0.0;
  for (std::int32_t index = 0; index < count; index += n) {
    largest = std::max(largest, SeriesScale(mode, order[index]));
  }
  own.largest_scale = largest;
  for (std::int32_t index = 0; index < count; index += n) {
    search.Report(index + 1);
    if (!search.NotifierContinues()) break;
    if (search.StopRequested()) break;
    const double scale = SeriesScale(mode, order[index]);
    if (DetectAtScale(record, texts[0].data(), scale, search, nullptr, own) == kResultOk) {
      found_slot.store(0);
    }
  }
  own.Release();
  // Shares of threads that could not start reuse the caller's memory.
  for (int t = started; t < n; ++t) {
    blocks[t].workspace = &own;
    ScaleSearchThread(blocks[t]);
  }
  // From here the caller only waits: its core may serve the others' scales.
  caller.reset();

  // Every thread works on this call's blocks and buffers, so all of them must
  // have ended before they go out of scope: there is no time-out.
  for (int t = 1; t < started; ++t) threads[t].join();

  const std::int32_t slot = found_slot.load();
  if (slot < 0 || slot >= n) return kResultRefused;
  std::copy_n(texts[slot].data(), kPayloadSymbolCount, output_text);
  return kResultOk;
}

std::uint8_t SearchScales(const ImageRecord& record, char* output_text,
                          const Checkpoints& checkpoints, DetectionMode mode) noexcept {
  if (record.channels() != 3 || record.bits() != 8) return kResultRefused;
  std::uint8_t result;
  if (SearchThreadsFor(record.width(), record.height(), mode) > 1) {
    result = SearchScalesThreaded(record, output_text, checkpoints, mode);
  } else {
    result = SearchSequentially(record, output_text, checkpoints, mode);
  }
  if (result == kResultNoMemory) return kResultNoMemory;
  if (checkpoints.StopRequested()) return kResultRefused;
  return result;
}

std::uint8_t DetectSignature(const ImageRecord& record, char* output_text,
                             const Checkpoints& checkpoints, DetectionMode mode) noexcept {
  if (record.channels() != 4) return SearchScales(record, output_text, checkpoints, mode);
  ImageRecord colour;
  if (colour.Allocate(record.width(), record.height(), 3, 8) != kResultOk) return kResultNoMemory;
  if (record.bits() != 8) return kResultRefused;
  for (std::int32_t y = 0; y < record.height(); ++y) {
    const std::uint8_t* in = record.Row<std::uint8_t>(y);
    std::uint8_t* out = colour.Row<std::uint8_t>(y);
    for (std::int32_t x = 0; x < record.width(); ++x) {
      out[3 * x] = in[4 * x];
      out[3 * x + 1] = in[4 * x + 1];
      out[3 * x + 2] = in[4 * x + 2];
    }
  }
  return SearchScales(colour, output_text, checkpoints, mode);
}

}  // namespace pmk
