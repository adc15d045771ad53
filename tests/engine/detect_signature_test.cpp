#include "engine/internal/detect_signature.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <cstring>
#include <mutex>
#include <random>
#include <set>
#include <thread>
#include <utility>
#include <vector>

#include "engine/engine.h"
#include "engine/internal/check_symbols.h"
#include "engine/internal/detect_at_scale.h"
#include "engine/internal/scale_order.h"
#include "engine/internal/search_memory_budget.h"
#include "engine/internal/spare_cores.h"
#include "image/checked_allocation.h"
#include "image/image_record.h"
#include "support/pictures.h"

namespace pmk {
namespace {

using pmk::testing::GreyPicture;

// Disarms the allocation seam however a test ends.
class ProcessStateGuard {
 public:
  ProcessStateGuard() { ArmAllocationFailure(0); }
  ~ProcessStateGuard() { ArmAllocationFailure(0); }
};

// Records who reports and who asks; answers as configured and may raise its
// stop flag (the one its Control() hands the engine) after a number of
// questions.
class WatchingNotifier : public ProgressNotifier {
 public:
  explicit WatchingNotifier(bool answer, int stop_after_questions = 0)
      : answer_(answer), stop_after_(stop_after_questions) {}

  void ReportStep(std::int32_t step) override {
    std::lock_guard<std::mutex> lock(mutex_);
    steps_.emplace_back(std::this_thread::get_id(), step);
  }
  bool ShouldContinue() override {
    std::lock_guard<std::mutex> lock(mutex_);
    askers_.insert(std::this_thread::get_id());
    ++questions_;
    if (stop_after_ > 0 && questions_ >= stop_after_) stop_.store(1);
    return answer_;
  }

  EngineControl Control(int threads) {
    return {.threads = static_cast<std::uint8_t>(threads), .stop = &stop_, .notifier = this};
  }
  bool StopRaised() const { return stop_.load() != 0; }

  std::vector<std::int32_t> StepsFrom(std::thread::id id) {
    std::lock_guard<std::mutex> lock(mutex_);
    std::vector<std::int32_t> steps;
    for (const auto& [who, step] : steps_) {
      if (who == id) steps.push_back(step);
    }
    return steps;
  }
  std::size_t StepCount() {
    std::lock_guard<std::mutex> lock(mutex_);
    return steps_.size();
  }
  std::size_t AskerCount() {
    std::lock_guard<std::mutex> lock(mutex_);
    return askers_.size();
  }
  bool AskedOnlyBy(std::thread::id id) {
    std::lock_guard<std::mutex> lock(mutex_);
    return askers_.size() == 1 && *askers_.begin() == id;
  }
  int Questions() {
    std::lock_guard<std::mutex> lock(mutex_);
    return questions_;
  }

 private:
  std::mutex mutex_;
  bool answer_;
  int stop_after_;
  std::atomic<std::int32_t> stop_{0};
  int questions_ = 0;
  std::vector<std::pair<std::thread::id, std::int32_t>> steps_;
  std::set<std::thread::id> askers_;
};

// Blocks of random grey with coloured noise: plenty of corners, so every
// scale does the whole work and lasts a while.
ImageRecord BusyPicture(std::int32_t width, std::int32_t height) {
  ImageRecord picture;
  EXPECT_EQ(picture.Allocate(width, height, 3, 8), kResultOk);
  std::mt19937 random(7);
  std::vector<int> blocks((width / 40 + 1) * (height / 40 + 1));
  for (int& block : blocks) block = static_cast<int>(random() % 200) + 20;
  for (std::int32_t y = 0; y < height; ++y) {
    std::uint8_t* row = picture.Row<std::uint8_t>(y);
    for (std::int32_t x = 0; x < width; ++x) {
      const int base = blocks[(y / 40) * (width / 40 + 1) + x / 40];
      for (int c = 0; c < 3; ++c) row[3 * x + c] = static_cast<std::uint8_t>(base + random() % 16);
    }
  }
  return picture;
}

using Text = OutputText;

EngineControl Threads(int threads, const std::atomic<std::int32_t>* stop = nullptr) {
  return {.threads = static_cast<std::uint8_t>(threads), .stop = stop};
}

template <std::size_t N>
bool IsPermutation(const std::array<std::int32_t, N>& order) {
  std::array<bool, N> seen{};
  for (const std::int32_t m : order) {
    if (m < 0 || m >= static_cast<std::int32_t>(N) || seen[m]) return false;
    seen[m] = true;
  }
  return true;
}

TEST(ScaleOrder, EveryThreadCountHasItsOrder) {
  const std::array<std::array<std::int32_t, 24>, 11> expected{{
      {0, 2, 23, 22, 1, 3, 21, 20, 4, 5, 19, 18, 6, 7, 17, 16, 8, 9, 15, 14, 10, 11, 13, 12},
      {14, 2, 21, 0, 13, 1, 23, 4, 8, 6, 7, 18, 9, 16, 15, 17, 10, 12, 20, 19, 5, 3, 22, 11},
      {0, 2, 21, 20, 15, 14, 6, 7, 23, 22, 1, 3, 4, 5, 13, 12, 19, 18, 10, 11, 8, 9, 17, 16},
      {0, 1, 2, 9, 18, 23, 22, 15, 14, 10, 17, 16, 7, 8, 3, 4, 5, 6, 21, 20, 19, 11, 12, 13},
      {0, 1, 2, 3, 4, 5, 23, 22, 21, 14, 13, 12, 6, 7, 8, 9, 10, 11, 17, 16, 15, 20, 19, 18},
      {0, 1, 2, 3, 4, 5, 6, 23, 22, 21, 20, 19, 18, 17, 7, 8, 9, 10, 11, 12, 13, 16, 15, 14},
      {0, 1, 2, 3, 4, 5, 6, 7, 23, 22, 21, 20, 19, 18, 17, 16, 8, 9, 10, 11, 12, 13, 14, 15},
      {0, 1, 2, 3, 4, 5, 6, 7, 8, 23, 22, 21, 20, 19, 18, 17, 16, 15, 9, 10, 11, 12, 13, 14},
      {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 23, 22, 21, 20, 19, 18, 17, 16, 15, 14, 10, 11, 12, 13},
      {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 23, 22, 21, 20, 19, 18, 17, 16, 15, 14, 13, 11, 12},
      {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 23, 22, 21, 20, 19, 18, 17, 16, 15, 14, 13, 12},
  }};
  for (int n = 2; n <= 12; ++n) EXPECT_EQ(ScaleOrder(n), expected[n - 2]) << n;
  for (const int other : {0, 1, 13, 24, 255}) EXPECT_EQ(ScaleOrder(other), expected[10]) << other;
  for (int n = 0; n <= 25; ++n) EXPECT_TRUE(IsPermutation(ScaleOrder(n))) << n;
}

TEST(ScaleOrder, PreSigningSeriesHasItsOwnOrders) {
  const std::array<std::array<std::int32_t, 12>, 6> expected{{
      {0, 9, 1, 11, 4, 7, 6, 5, 8, 3, 10, 2},
      {0, 9, 4, 5, 3, 7, 6, 10, 2, 11, 1, 8},
      {0, 9, 2, 11, 7, 3, 5, 4, 8, 1, 10, 6},
      {0, 11, 2, 6, 4, 10, 8, 7, 3, 5, 9, 1},
      {0, 10, 9, 3, 7, 5, 11, 1, 2, 8, 4, 6},
      {0, 11, 1, 10, 2, 9, 3, 8, 4, 7, 5, 6},
  }};
  for (int n = 2; n <= 7; ++n) EXPECT_EQ(ScaleOrder12(n), expected[n - 2]) << n;
  for (const int other : {0, 1, 12, 24}) EXPECT_EQ(ScaleOrder12(other), expected[5]) << other;
  for (int n = 0; n <= 25; ++n) EXPECT_TRUE(IsPermutation(ScaleOrder12(n))) << n;
}

// The scales thread t of n tries, in its order.
std::vector<double> ThreadScales(int n, int t) {
  const std::array<std::int32_t, 24> order = ScaleOrder(n);
  std::vector<double> scales;
  for (int index = t; index < 24; index += n)
    scales.push_back(SeriesScale(DetectionMode::kDetection, order[index]));
  return scales;
}

void ExpectScales(const std::vector<double>& actual, const std::vector<double>& expected) {
  ASSERT_EQ(actual.size(), expected.size());
  for (std::size_t i = 0; i < actual.size(); ++i) EXPECT_NEAR(actual[i], expected[i], 1e-12) << i;
}

TEST(ScaleSeries, FourThreadsPairSmallAndLargeScales) {
  ExpectScales(ThreadScales(4, 0), {0.9, 1.65, 2.05, 1.1, 1.85, 1.3});
  ExpectScales(ThreadScales(4, 1), {1.0, 1.6, 2.0, 1.15, 1.8, 1.35});
}

TEST(ScaleSeries, SequentialSearchTriesUnscaledFirst) {
  std::vector<double> detection;
  for (int i = 0; i < 24; ++i) detection.push_back(SequentialScale(DetectionMode::kDetection, i));
  std::vector<double> expected{1.0, 0.95, 0.9};
  for (int i = 3; i < 24; ++i) expected.push_back(0.9 + 0.05 * i);
  ExpectScales(detection, expected);
  EXPECT_EQ(SequentialScale(DetectionMode::kDetection, 0), 1.0);
  EXPECT_EQ(SequentialScale(DetectionMode::kDetection, 2), 0.9);

  std::vector<double> pre_signing;
  for (int i = 0; i < 12; ++i) {
    pre_signing.push_back(SequentialScale(DetectionMode::kPreSigning, i));
  }
  std::vector<double> expected_short{1.0, 0.93};
  for (int i = 2; i < 12; ++i) expected_short.push_back(0.93 + 0.07 * i);
  ExpectScales(pre_signing, expected_short);
  EXPECT_NEAR(SeriesScale(DetectionMode::kPreSigning, 11), 1.70, 1e-12);
}

TEST(ScaleSeries, ThreadCountIsKeptBetweenOneAndTwentyFour) {
  const std::array<std::pair<int, int>, 5> cases{{{0, 1}, {1, 1}, {7, 7}, {24, 24}, {255, 24}}};
  for (const auto& [cores, threads] : cases) {
    const OperationCores operation(cores);
    EXPECT_EQ(SearchThreadCount(), threads) << cores;
  }
  EXPECT_EQ(SearchThreadCount(), 1);  // outside any operation
}

TEST(SearchScales, OneCoreTriesEveryScaleInTurnOnTheCallingThread) {
  ProcessStateGuard guard;
  const ImageRecord picture = GreyPicture(120, 100);
  for (const DetectionMode mode : {DetectionMode::kDetection, DetectionMode::kPreSigning}) {
    WatchingNotifier notifier(true);
    Text text{};
    EXPECT_EQ(DetectSignature(picture, text, notifier.Control(1), mode), ResultCode::kRefused);
    std::vector<std::int32_t> expected;
    for (int i = 1; i <= (mode == DetectionMode::kDetection ? 24 : 12); ++i) expected.push_back(i);
    EXPECT_EQ(notifier.StepsFrom(std::this_thread::get_id()), expected);
    EXPECT_TRUE(notifier.AskedOnlyBy(std::this_thread::get_id()));
  }
}

TEST(SearchScales, ZeroCoresSearchesOnOneThread) {
  ProcessStateGuard guard;
  const ImageRecord picture = GreyPicture(120, 100);
  WatchingNotifier notifier(true);
  Text text{};
  EXPECT_EQ(DetectSignature(picture, text, notifier.Control(0)), ResultCode::kRefused);
  EXPECT_EQ(notifier.StepCount(), 24u);
  EXPECT_TRUE(notifier.AskedOnlyBy(std::this_thread::get_id()));
}

TEST(SearchScales, ACancelledNotifierStopsBeforeTheFirstScale) {
  ProcessStateGuard guard;
  const ImageRecord picture = GreyPicture(120, 100);
  WatchingNotifier notifier(false);
  Text text{};
  ArmAllocationFailure(0);
  EXPECT_EQ(DetectSignature(picture, text, notifier.Control(1)), ResultCode::kRefused);
  EXPECT_EQ(AllocationCount(), 0);
  EXPECT_EQ(notifier.StepCount(), 1u);
}

TEST(ThreadedSearch, StopRequestedBeforehandGivesNotFound) {
  ProcessStateGuard guard;
  const ImageRecord picture = GreyPicture(120, 100);
  const std::atomic<std::int32_t> stop{1};
  for (const int cores : {1, 3}) {
    Text text{};
    ArmAllocationFailure(0);
    EXPECT_EQ(DetectSignature(picture, text, Threads(cores, &stop)), ResultCode::kRefused) << cores;
    EXPECT_EQ(AllocationCount(), 0) << cores;
  }
}

TEST(DetectSignature, FourChannelSixteenBitPictureIsRefused) {
  ProcessStateGuard guard;
  const ImageRecord picture = GreyPicture(64, 64, 4, 16);
  WatchingNotifier notifier(true);
  Text text{};
  EXPECT_EQ(DetectSignature(picture, text, notifier.Control(1)), ResultCode::kRefused);
  EXPECT_EQ(notifier.Questions(), 0);
}

TEST(DetectSignature, NoMemoryForTheThreeChannelCopy) {
  ProcessStateGuard guard;
  const ImageRecord picture = GreyPicture(64, 64, 4, 8);
  Text text{};
  ArmAllocationFailure(1);
  EXPECT_EQ(DetectSignature(picture, text, Threads(1)), ResultCode::kNoMemory);
}

TEST(DetectSignature, SequentialSearchPassesNoMemoryOn) {
  ProcessStateGuard guard;
  const ImageRecord picture = GreyPicture(120, 100);
  Text text{};
  ArmAllocationFailure(1);  // the first scale's rescaled picture
  EXPECT_EQ(DetectSignature(picture, text, Threads(1)), ResultCode::kNoMemory);
}

TEST(ThreadedSearch, MemoryFailureAtOneScaleOnlyLosesThatScale) {
  ProcessStateGuard guard;
  const ImageRecord picture = GreyPicture(120, 100);
  Text text{};
  ArmAllocationFailure(1);
  EXPECT_EQ(DetectSignature(picture, text, Threads(3)), ResultCode::kRefused);
  EXPECT_TRUE(AllocationFailureTriggered());
}

TEST(ThreadedSearch, CallingThreadTakesEveryNthEntry) {
  ProcessStateGuard guard;
  const ImageRecord picture = GreyPicture(120, 100);
  WatchingNotifier notifier(true);
  Text text{};
  EXPECT_EQ(DetectSignature(picture, text, notifier.Control(4)), ResultCode::kRefused);
  // Only the calling thread reports steps: its series indices plus one.
  EXPECT_EQ(notifier.StepsFrom(std::this_thread::get_id()),
            (std::vector<std::int32_t>{1, 5, 9, 13, 17, 21}));
  EXPECT_EQ(notifier.StepCount(), 6u);
  EXPECT_EQ(notifier.AskerCount(), 4u);
}

TEST(ThreadedSearch, ThreadCountIsCappedBySeriesLength) {
  ProcessStateGuard guard;
  const ImageRecord picture = GreyPicture(120, 100);
  struct Case {
    int cores;
    DetectionMode mode;
    int threads;
  };
  const std::array<Case, 3> cases{{
      {30, DetectionMode::kDetection, 24},
      {24, DetectionMode::kPreSigning, 12},
      {2, DetectionMode::kDetection, 2},
  }};
  for (const auto& [cores, mode, threads] : cases) {
    // Refusing at once: every thread asks exactly once and stops.
    WatchingNotifier notifier(false);
    Text text{};
    EXPECT_EQ(DetectSignature(picture, text, notifier.Control(cores), mode), ResultCode::kRefused);
    EXPECT_EQ(notifier.AskerCount(), static_cast<std::size_t>(threads)) << cores;
  }
}

TEST(ThreadedSearch, LargePicturesAreSearchedOnAsManyThreadsAsMemoryAllows) {
  ProcessStateGuard guard;
  // The samples are never read: the notifier stops every thread at once.
  ImageRecord at_limit;
  ASSERT_EQ(at_limit.Allocate(5000, 4000, 3, 8), kResultOk);
  WatchingNotifier threaded(false);
  Text text{};
  EXPECT_EQ(DetectSignature(at_limit, text, threaded.Control(8)), ResultCode::kRefused);
  EXPECT_EQ(threaded.AskerCount(), 8u);

  // Above the limit the memory budget decides, down to one thread.
  ImageRecord above_limit;
  ASSERT_EQ(above_limit.Allocate(5000, 4001, 3, 8), kResultOk);
  const int threads =
      ThreadsWithinBudget(5000 * 4001, SearchMemoryBudget(), 8, DetectionMode::kDetection);
  WatchingNotifier budgeted(false);
  EXPECT_EQ(DetectSignature(above_limit, text, budgeted.Control(8)), ResultCode::kRefused);
  EXPECT_EQ(budgeted.AskerCount(), static_cast<std::size_t>(threads));
  const OperationCores operation(8);
  EXPECT_EQ(SearchThreadsFor(5000, 4001, DetectionMode::kDetection), threads);
}

TEST(ThreadedSearch, StopRequestedDuringTheSearchEndsEveryThread) {
  ProcessStateGuard guard;
  const ImageRecord picture = BusyPicture(700, 500);
  for (const int cores : {2, 4}) {
    // The user cancels while the first scales run (the search inside each
    // scale asks the notifier too).
    WatchingNotifier notifier(true, cores + 2);
    Text text{};
    EXPECT_EQ(DetectSignature(picture, text, notifier.Control(cores)), ResultCode::kRefused);
    EXPECT_TRUE(notifier.StopRaised());  // the driver never clears it
    // Every thread has been joined: nobody asks any more.
    const int questions = notifier.Questions();
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_EQ(notifier.Questions(), questions);
    // Far fewer scales ran than the series has: each thread stopped early.
    EXPECT_LT(notifier.StepCount(), 24u / cores);
  }
}

TEST(ThreadedSearch, StopRequestedWithoutNotifierGivesNotFound) {
  ProcessStateGuard guard;
  const ImageRecord picture = BusyPicture(700, 500);
  std::atomic<std::int32_t> stop{0};
  std::thread canceller([&stop] { stop.store(1); });
  Text text{};
  const ResultCode result = DetectSignature(picture, text, Threads(4, &stop));
  canceller.join();
  // Wherever the cancel landed, an unsigned picture is not found and no
  // thread outlives the call.
  EXPECT_EQ(result, ResultCode::kRefused);
}

// kodim23, signed: a search finds it within its first scales.
const ImageRecord& SignedPhoto() {
  static const ImageRecord picture = [] {
    ImageRecord photo = testing::LoadColourPhoto("kodim23.png");
    EmbedOptions options;
    options.use_fixed_seed = true;
    options.fixed_seed = 5;
    EXPECT_EQ(EmbedSignature(photo, FormatPayload("apart-1"), {}, options, nullptr),
              ResultCode::kOk);
    return photo;
  }();
  return picture;
}

// A search that found the signature leaves nothing behind: the next search,
// or a check at one scale, neither stops at once nor reports the old find.
TEST(ThreadedSearch, EverySearchStartsWithNothingFound) {
  const ImageRecord& signed_photo = SignedPhoto();
  const ImageRecord unsigned_picture = BusyPicture(300, 200);
  for (int round = 0; round < 2; ++round) {
    Text found;
    ASSERT_EQ(DetectSignature(signed_photo, found, Threads(3)), ResultCode::kOk) << round;
    EXPECT_STREQ(found.Signature(), "apart-1");
    Text after;
    EXPECT_EQ(DetectAtScale(signed_photo, after, 1.0, Threads(2)), ResultCode::kOk) << round;
    Text none;
    EXPECT_EQ(DetectSignature(unsigned_picture, none, Threads(3)), ResultCode::kRefused) << round;
  }
}

// Searches running side by side each answer to their own flag only: one
// whose flag is set stops, while the other, whose flag stays clear, finds.
TEST(ThreadedSearch, SearchesSideBySideStopOnTheirOwnFlagsOnly) {
  const ImageRecord& signed_photo = SignedPhoto();
  const std::atomic<std::int32_t> stopped{1};
  const std::atomic<std::int32_t> running{0};
  std::atomic<bool> finding_done{false};
  int stopped_searches = 0;
  int wrongly_found = 0;
  std::thread stopped_side([&] {
    do {
      Text text;
      if (DetectSignature(signed_photo, text, Threads(2, &stopped)) != ResultCode::kRefused) {
        ++wrongly_found;
      }
      ++stopped_searches;
    } while (!finding_done.load());
  });
  Text found;
  const ResultCode result = DetectSignature(signed_photo, found, Threads(2, &running));
  finding_done.store(true);
  stopped_side.join();
  EXPECT_EQ(result, ResultCode::kOk);
  EXPECT_STREQ(found.Signature(), "apart-1");
  EXPECT_GT(stopped_searches, 0);
  EXPECT_EQ(wrongly_found, 0);
}

}  // namespace
}  // namespace pmk
