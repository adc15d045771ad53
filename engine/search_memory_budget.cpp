#include "engine/internal/search_memory_budget.h"

#include <algorithm>
#include <array>

#include "engine/internal/detect_at_scale.h"
#include "engine/internal/detect_signature.h"
#include "engine/internal/scale_order.h"
#include "platform/physical_memory.h"

namespace pmk {

std::uint64_t SearchMemoryBudget() noexcept {
  const std::uint64_t usable = platform::UsableMemoryBytes();
  if (usable == 0) return kFallbackSearchBudget;
  return static_cast<std::uint64_t>(static_cast<double>(usable) * kSearchMemoryShare);
}

std::uint64_t SearchPeakBytes(std::int64_t pixels, int threads, DetectionMode mode) noexcept {
  const std::int32_t count = SeriesScaleCount(mode);
  const int n = std::clamp(threads, 1, static_cast<int>(count));
  const std::array<std::int32_t, 24> order = SeriesScaleOrder(mode, n);
  const double area = static_cast<double>(pixels);
  const std::uint64_t bytes =
      n > 1 ? kThreadedSearchBytesPerRescaledPixel : kSearchBytesPerRescaledPixel;
  double total = 0.0;
  for (int t = 0; t < n; ++t) {
    double largest = 0.0;
    for (std::int32_t index = t; index < count; index += n) {
      const double scale = SeriesScale(mode, order[index]);
      // The same test detection applies before it allocates anything.
      const double rescaled = area * scale * scale;
      if (rescaled <= kMaxRescaledPixels) largest = std::max(largest, rescaled);
    }
    total += largest * static_cast<double>(bytes);
  }
  return static_cast<std::uint64_t>(total);
}

int ThreadsWithinBudget(std::int64_t pixels, std::uint64_t budget, int threads,
                        DetectionMode mode) noexcept {
  for (int n = std::min(threads, static_cast<int>(SeriesScaleCount(mode))); n > 1; --n) {
    if (SearchPeakBytes(pixels, n, mode) <= budget) return n;
  }
  return 1;
}

int SearchThreadsFor(std::int32_t width, std::int32_t height, DetectionMode mode) noexcept {
  const int threads = std::min(SearchThreadCount(), static_cast<int>(SeriesScaleCount(mode)));
  const std::int64_t pixels = static_cast<std::int64_t>(width) * height;
  if (pixels <= kMaxThreadedPixels) return threads;
  return ThreadsWithinBudget(pixels, SearchMemoryBudget(), threads, mode);
}

}  // namespace pmk
