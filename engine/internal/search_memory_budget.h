// How many search threads a picture's size allows.
//
// Every search thread holds the rescaled planes of the scale it is working on,
// and the largest of its scales sets what it needs. Small pictures are
// searched on every thread; above kMaxThreadedPixels the threads' largest
// scales are weighed against a share of the machine's memory, and the search
// gives up threads one at a time, down to one, until they fit.
#pragma once

#include <cstdint>

#include "engine/engine.h"

namespace pmk {

// A lone search thread keeps two float planes of the rescaled picture: the
// guide plane for the corner search and the carrier that the cells are read
// from. Threads searching side by side keep one each, the carrier taking the
// guide's place once the search is done (search_work.h).
inline constexpr std::uint64_t kSearchBytesPerRescaledPixel = 8;
inline constexpr std::uint64_t kThreadedSearchBytesPerRescaledPixel = 4;
// The share of the memory the process may use (the machine's, or its control
// group's limit where lower) that the search's rescaled planes may take; the
// rest is left to the picture itself, the signing and everything else.
inline constexpr double kSearchMemoryShare = 0.5;
// Used when the system does not say how much memory it has.
inline constexpr std::uint64_t kFallbackSearchBudget = 2ull << 30;

// The memory the rescaled planes of a search may take together, in bytes.
std::uint64_t SearchMemoryBudget() noexcept;

// The bytes `threads` search threads of a picture of `pixels` pixels hold at
// most at once: for each thread, the planes of the largest scale of its share
// of the series of `mode` that detection does not refuse as too large.
std::uint64_t SearchPeakBytes(std::int64_t pixels, int threads, DetectionMode mode) noexcept;

// The most threads, from `threads` down to 1, whose SearchPeakBytes fit
// `budget`; one thread is always allowed. `threads` is at most the number of
// scales in the series.
int ThreadsWithinBudget(std::int64_t pixels, std::uint64_t budget, int threads,
                        DetectionMode mode) noexcept;

// The threads a search of a picture of `width` x `height` pixels runs on:
// SearchThreadCount() (the calling operation's threads) capped by the series' length, and above
// kMaxThreadedPixels also by SearchMemoryBudget().
int SearchThreadsFor(std::int32_t width, std::int32_t height, DetectionMode mode) noexcept;

}  // namespace pmk
