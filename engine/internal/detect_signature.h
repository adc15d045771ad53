// Finding a signature whatever the scale the picture was brought to.
//
// The mark reads back only at the scale it was laid down at, so the picture
// is tried at a fixed series of scales. The scales are independent: they are
// spread over the operation's threads, and the first thread to find a valid
// payload records its number in the search's found slot, which stops the
// others at their next checkpoint. Every threaded search has a slot of its
// own, empty when it starts.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>

#include "engine/engine.h"
#include "engine/internal/checkpoints.h"
#include "image/image_record.h"

namespace pmk {

struct DetectWorkspace;

// Pictures up to this many pixels are searched on every thread; larger ones
// on as many as the memory budget allows (search_memory_budget.h).
inline constexpr std::int64_t kMaxThreadedPixels = 20'000'000;
// Most search threads that can be busy at once: one per scale.
inline constexpr int kMaxSearchThreads = 24;

// The scale of series index m (0..23 or 0..11 by mode).
double SeriesScale(DetectionMode mode, std::int32_t m) noexcept;
// The threads of the calling operation (its CorePool, spare_cores.h): the
// control's count with 0 as 1 and above 24 as 24; 1 outside any operation.
int SearchThreadCount() noexcept;

// One search thread's share of the series.
struct SearchBlock {
  std::int32_t start = 0;  // the thread's number
  std::int32_t step = 1;   // the number of threads
  std::int32_t end = 24;   // the number of scales in the series
  char* text = nullptr;    // this thread's 1024-byte output buffer
  const ImageRecord* image = nullptr;
  std::array<std::int32_t, 24> order{};
  // The caller's notifier and stop flag, and the search's found slot.
  Checkpoints checkpoints;
  // Where the thread records its number when it finds the signature.
  std::atomic<std::int32_t>* found_slot = nullptr;
  DetectionMode mode = DetectionMode::kDetection;
  // The thread's working memory, kept for all its scales and given back when
  // its share is done; none: the thread uses one of its own.
  DetectWorkspace* workspace = nullptr;
};

// The body of a worker thread: runs its share of the series until it is done,
// asked to stop, or the signature is found.
void ScaleSearchThread(SearchBlock& block) noexcept;

// The series on SearchThreadsFor() threads (the caller being thread 0), with
// a found slot of this search's own. Returns 0 with the 18 payload characters
// at the start of `output_text`, or 1.
std::uint8_t SearchScalesThreaded(const ImageRecord& record, char* output_text,
                                  const Checkpoints& checkpoints, DetectionMode mode) noexcept;

// Runs the series threaded, or sequentially on one thread (one thread, or a
// picture too large for two threads' memory). `record` has three 8-bit
// channels. Returns 0 found, 1 not found or stopped, 6 out of memory.
std::uint8_t SearchScales(const ImageRecord& record, char* output_text,
                          const Checkpoints& checkpoints, DetectionMode mode) noexcept;

// The search on the threads of the calling operation: reports the trials to
// the notifier and runs the series of `mode`. `output_text` is a zeroed buffer
// of 1024 bytes; on success (0) it holds the 18-character payload text, the
// signature from character 8 on. A four-channel picture is searched on its
// first three channels; one with other than 8 bits per sample gives 1.
std::uint8_t DetectSignature(const ImageRecord& record, char* output_text,
                             const Checkpoints& checkpoints, DetectionMode mode) noexcept;

}  // namespace pmk
