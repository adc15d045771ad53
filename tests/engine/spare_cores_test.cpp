// Lending idle cores to the parts of one scale. The suite's name starts with
// "Threaded" so that CI also runs it under ThreadSanitizer.
#include "engine/internal/spare_cores.h"

#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <cstring>

#include "engine/engine.h"
#include "engine/internal/check_symbols.h"
#include "engine/internal/detect_at_scale.h"
#include "engine/internal/embed_options.h"
#include "image/image_files.h"
#include "support/pictures.h"
#include "support/temp_folder.h"

namespace pmk {
namespace {

TEST(ThreadedSpareCores, EveryIndexRunsOnceAndTheCoresComeBack) {
  const OperationCores cores(4);
  constexpr std::int32_t kCount = 500;
  std::array<std::atomic<int>, kCount> visits{};
  std::atomic<int> active{0};
  std::atomic<int> most_active{0};
  std::atomic<int> largest_worker{0};
  ParallelFor(kCount, [&](std::int32_t i, int worker) noexcept {
    const int now = active.fetch_add(1) + 1;
    int seen = most_active.load();
    while (now > seen && !most_active.compare_exchange_weak(seen, now)) {
    }
    if (worker > largest_worker.load()) largest_worker = worker;
    visits[i].fetch_add(1);
    active.fetch_sub(1);
  });
  for (std::int32_t i = 0; i < kCount; ++i) EXPECT_EQ(visits[i].load(), 1) << i;
  EXPECT_LE(most_active.load(), 4);
  EXPECT_LT(largest_worker.load(), 4);
  EXPECT_EQ(IdleCores(), 3);
}

TEST(ThreadedSpareCores, NestedSplitsNeverExceedCoreCount) {
  const OperationCores cores(3);
  std::atomic<int> active{0};
  std::atomic<int> most_active{0};
  std::atomic<int> total{0};
  ParallelFor(6, [&](std::int32_t, int) noexcept {
    ParallelFor(20, [&](std::int32_t, int) noexcept {
      const int now = active.fetch_add(1) + 1;
      int seen = most_active.load();
      while (now > seen && !most_active.compare_exchange_weak(seen, now)) {
      }
      total.fetch_add(1);
      active.fetch_sub(1);
    });
  });
  EXPECT_EQ(total.load(), 120);
  EXPECT_LE(most_active.load(), 3);
  EXPECT_EQ(IdleCores(), 2);
}

TEST(ThreadedSpareCores, OneScaleReadsTheSameWhateverTheCoresLent) {
  ImageRecord colour = testing::LoadColourPhoto("kodim13.png");
  EmbedOptions options;
  options.use_fixed_seed = true;
  options.fixed_seed = 77;
  ASSERT_EQ(EmbedSignature(colour, FormatPayload("spare-1"), {}, options, nullptr),
            ResultCode::kOk);
  BuildCheckTriples();

  std::array<char, 1024> alone{};
  std::array<char, 1024> helped{};
  std::uint8_t alone_result = 0;
  std::uint8_t helped_result = 0;
  {
    const OperationCores cores(1);
    alone_result = DetectAtScale(colour, alone.data(), 1.25, nullptr);
  }
  {
    const OperationCores cores(2);
    helped_result = DetectAtScale(colour, helped.data(), 1.25, nullptr);
  }
  EXPECT_EQ(alone_result, helped_result);
  EXPECT_EQ(std::memcmp(alone.data(), helped.data(), alone.size()), 0);
  {
    const OperationCores cores(2);
    std::array<char, 1024> text{};
    ASSERT_EQ(DetectAtScale(colour, text.data(), 1.0, nullptr), kResultOk);
    EXPECT_STREQ(text.data() + 8, "spare-1");
  }
}

}  // namespace
}  // namespace pmk
