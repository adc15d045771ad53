#include "engine/internal/search_memory_budget.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "engine/engine.h"
#include "engine/internal/detect_signature.h"
#include "engine/internal/spare_cores.h"

namespace pmk {
namespace {

// Each thread's largest scale, from the orders: with two threads 2.05 and
// 2.0; with three 2.05, 2.0, 1.95; with four also 1.9. A 100-megapixel picture
// is read only up to x * x <= 2: 1.40 on the first thread, 1.35 on the second.
// Pre-signing with two threads: 1.63 and 1.70.
struct PeakCase {
  std::int64_t pixels;
  int threads;
  DetectionMode mode;
  double sum_of_squares;  // of the threads' largest scales
};

TEST(SearchPeakBytes, ALoneThreadHoldsTwoFloatPlanesOfItsLargestScaleSideBySideOne) {
  const std::vector<PeakCase> cases = {
      {10'000'000, 1, DetectionMode::kDetection, 4.2025},
      {10'000'000, 2, DetectionMode::kDetection, 4.2025 + 4.0},
      {45'000'000, 2, DetectionMode::kDetection, 4.2025 + 4.0},
      {25'000'000, 3, DetectionMode::kDetection, 4.2025 + 4.0 + 3.8025},
      {25'000'000, 4, DetectionMode::kDetection, 4.2025 + 4.0 + 3.8025 + 3.61},
      {100'000'000, 2, DetectionMode::kDetection, 1.96 + 1.8225},
      {45'000'000, 2, DetectionMode::kPreSigning, 1.63 * 1.63 + 1.70 * 1.70},
      // Above 200,000,000 / 0.81 pixels no scale is read at all.
      {250'000'000, 2, DetectionMode::kDetection, 0.0},
  };
  for (const PeakCase& c : cases) {
    const double bytes = c.threads == 1 ? 8.0 : 4.0;
    const double expected = bytes * static_cast<double>(c.pixels) * c.sum_of_squares;
    EXPECT_NEAR(static_cast<double>(SearchPeakBytes(c.pixels, c.threads, c.mode)), expected,
                1e-9 * expected + 1.0)
        << c.pixels << " pixels, " << c.threads << " threads, mode " << static_cast<int>(c.mode);
  }
}

struct BudgetCase {
  std::int64_t pixels;
  std::uint64_t budget;
  int threads;
  DetectionMode mode;
  int expected;
};

TEST(ThreadsWithinBudget, FallsBackOneThreadAtATimeDownToOne) {
  constexpr std::uint64_t kGB = 1'000'000'000;
  const std::vector<BudgetCase> cases = {
      // 45 MP on two threads needs 1.48 GB.
      {45'000'000, 15 * kGB / 10, 2, DetectionMode::kDetection, 2},
      {45'000'000, 14 * kGB / 10, 2, DetectionMode::kDetection, 1},
      // 25 MP: four threads need 1.56 GB, three 1.20 GB, two 0.82 GB.
      {25'000'000, 16 * kGB / 10, 4, DetectionMode::kDetection, 4},
      {25'000'000, 15 * kGB / 10, 4, DetectionMode::kDetection, 3},
      {25'000'000, 1 * kGB, 4, DetectionMode::kDetection, 2},
      {25'000'000, 8 * kGB / 10, 4, DetectionMode::kDetection, 1},
      // 100 MP on two threads needs 1.51 GB.
      {100'000'000, 16 * kGB / 10, 2, DetectionMode::kDetection, 2},
      {100'000'000, 15 * kGB / 10, 2, DetectionMode::kDetection, 1},
      // No budget at all still leaves one thread.
      {1'000, 0, 8, DetectionMode::kDetection, 1},
      // Never more threads than scales.
      {1'000, 100 * kGB, 30, DetectionMode::kDetection, 24},
      {1'000, 100 * kGB, 30, DetectionMode::kPreSigning, 12},
      {1'000, 100 * kGB, 1, DetectionMode::kDetection, 1},
  };
  for (const BudgetCase& c : cases) {
    EXPECT_EQ(ThreadsWithinBudget(c.pixels, c.budget, c.threads, c.mode), c.expected)
        << c.pixels << " pixels, budget " << c.budget << ", " << c.threads << " threads";
  }
}

TEST(SearchThreadsFor, PicturesUpToTwentyMegapixelsUseEveryThread) {
  {
    const OperationCores operation(6);
    EXPECT_EQ(SearchThreadsFor(5000, 4000, DetectionMode::kDetection), 6);
    EXPECT_EQ(SearchThreadsFor(5000, 4001, DetectionMode::kDetection),
              ThreadsWithinBudget(5000 * 4001, SearchMemoryBudget(), 6, DetectionMode::kDetection));
  }
  const OperationCores operation(1);
  EXPECT_EQ(SearchThreadsFor(9000, 9000, DetectionMode::kDetection), 1);
  EXPECT_GT(SearchMemoryBudget(), 0u);
}

}  // namespace
}  // namespace pmk
