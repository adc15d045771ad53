// Every buffer the engine obtains may be refused. Walking the failing
// allocation n = 1, 2, 3, ... through a whole signing or search shows that each
// refusal ends in result 6 or in a run that coped without the buffer, that
// nothing leaks (the sanitizer build checks at exit), and that a signing cut
// short leaves the picture clamped or signed in the regions it finished.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <string>

#include "engine/engine.h"
#include "engine/internal/detect_at_scale.h"
#include "engine/internal/detect_signature.h"
#include "image/checked_allocation.h"
#include "image/image_files.h"
#include "support/pictures.h"

namespace pmk {
namespace {

using pmk::testing::CopyOf;
using pmk::testing::Sample;

constexpr const char* kSignature = "seam-07";
constexpr std::uint32_t kSeed = 20240607;

using Text = OutputText;

// Puts the seam back however a test ends.
class SeamGuard {
 public:
  SeamGuard() { ArmAllocationFailure(0); }
  ~SeamGuard() { ArmAllocationFailure(0); }
  SeamGuard(const SeamGuard&) = delete;
  SeamGuard& operator=(const SeamGuard&) = delete;
};

std::uint8_t Embed(ImageRecord& image, const EmbedOptions& options, EmbedReport* report) {
  return CodeByte(EmbedSignature(image, FormatPayload(kSignature), {}, options, report));
}

std::uint8_t Detect(const ImageRecord& picture, Text& text, int threads) {
  return CodeByte(DetectSignature(picture, text, {.threads = static_cast<std::uint8_t>(threads)}));
}

// A photograph reduced by box averaging, so that every walk stays short while
// the picture still has corners and regions to sign.
ImageRecord SmallPhotograph(const char* name, std::int32_t factor) {
  const ImageRecord colour = testing::LoadColourPhoto(name);
  ImageRecord small;
  EXPECT_EQ(small.Allocate(colour.width() / factor, colour.height() / factor, 3, 8), kResultOk);
  for (std::int32_t y = 0; y < small.height(); ++y) {
    for (std::int32_t x = 0; x < small.width(); ++x) {
      for (std::int32_t c = 0; c < 3; ++c) {
        int sum = 0;
        for (std::int32_t j = 0; j < factor; ++j) {
          for (std::int32_t i = 0; i < factor; ++i) {
            sum += Sample(colour, x * factor + i, y * factor + j, c);
          }
        }
        small.Row<std::uint8_t>(y)[3 * x + c] = static_cast<std::uint8_t>(sum / (factor * factor));
      }
    }
  }
  return small;
}

ImageRecord Clamped(const ImageRecord& source) {
  ImageRecord clamped = CopyOf(source);
  for (std::int32_t y = 0; y < clamped.height(); ++y) {
    std::uint8_t* row = clamped.Row<std::uint8_t>(y);
    for (std::int32_t x = 0; x < clamped.width(); ++x) {
      row[3 * x] = std::clamp<std::uint8_t>(row[3 * x], 3, 252);
    }
  }
  return clamped;
}

bool InsideAny(const EmbedReport& regions, std::int32_t x, std::int32_t y) {
  for (std::int32_t i = 0; i < regions.regions && i < kMaxSignedRegions; ++i) {
    const auto& box = regions.boxes[i];
    if (x >= box[0] && x < box[2] && y >= box[1] && y < box[3]) return true;
  }
  return false;
}

bool SameBoxes(const EmbedReport& a, const EmbedReport& b) {
  if (a.regions != b.regions) return false;
  for (std::int32_t i = 0; i < a.regions && i < kMaxSignedRegions; ++i) {
    if (a.boxes[i] != b.boxes[i]) return false;
  }
  return true;
}

bool BoxMatches(const ImageRecord& a, const ImageRecord& b,
                const std::array<std::int32_t, 4>& box) {
  for (std::int32_t y = box[1]; y < box[3]; ++y) {
    for (std::int32_t x = box[0]; x < box[2]; ++x) {
      if (Sample(a, x, y, 0) != Sample(b, x, y, 0)) return false;
    }
  }
  return true;
}

// Runs `run` with the n-th allocation failing, until a run no longer reaches
// its failure; `check` judges each failed run. `prepare` sets up each run
// before the seam is armed, so its own allocations do not count. n takes every
// value up to `dense`, then steps by `stride`: a search over many scales
// repeats the allocations of its first scale, and every value there plus a
// sample of the rest reaches every allocation site without walking thousands.
// Returns the number of allocations of an undisturbed run.
template <class Prepare, class Run, class Check>
std::int64_t WalkAllocationFailures(Prepare prepare, Run run, Check check,
                                    std::int64_t dense = INT64_MAX, std::int64_t stride = 1) {
  prepare();
  ArmAllocationFailure(0);
  run();
  const std::int64_t undisturbed = AllocationCount();
  std::int64_t n = 1;
  for (;; n += n < dense ? 1 : stride) {
    prepare();
    ArmAllocationFailure(n);
    const std::uint8_t result = run();
    const bool failed = AllocationFailureTriggered();
    ArmAllocationFailure(0);
    if (!failed) break;
    check(n, result);
    if (::testing::Test::HasFatalFailure()) break;
  }
  // Allocations may vary a little between threaded runs, never without bound.
  EXPECT_GE(n, 2) << "the run allocated nothing";
  EXPECT_LE(n, 2 * undisturbed + stride + 1);
  return undisturbed;
}

// Allocations of one detection at the unit scale, the first a search tries.
std::int64_t AllocationsOfOneScale(const ImageRecord& picture) {
  Text text;
  ArmAllocationFailure(0);
  DetectAtScale(picture, text.data(), 1.0, nullptr);
  return AllocationCount();
}

class AllocationFailureTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    original_ = new ImageRecord(SmallPhotograph("kodim23.png", 3));
    small_ = new ImageRecord(SmallPhotograph("kodim13.png", 5));
    signed_ = new ImageRecord(CopyOf(*original_));
    ASSERT_EQ(Embed(*signed_, Seeded(), &used_), kResultOk);
    ASSERT_GT(used_.regions, 0) << "the small photograph must have regions to sign";
  }
  static void TearDownTestSuite() {
    delete original_;
    delete signed_;
    delete small_;
    small_ = nullptr;
    original_ = nullptr;
    signed_ = nullptr;
  }
  static EmbedOptions Seeded() {
    EmbedOptions options;
    options.use_fixed_seed = true;
    options.fixed_seed = kSeed;
    return options;
  }
  static void ExpectFound(const Text& text) { EXPECT_STREQ(text.data() + 8, kSignature); }

  static ImageRecord* original_;
  static ImageRecord* signed_;
  // An unsigned picture smaller still, for the searches over every scale.
  static ImageRecord* small_;
  static EmbedReport used_;
  SeamGuard guard_;
};

ImageRecord* AllocationFailureTest::original_ = nullptr;
ImageRecord* AllocationFailureTest::signed_ = nullptr;
ImageRecord* AllocationFailureTest::small_ = nullptr;
EmbedReport AllocationFailureTest::used_;

TEST_F(AllocationFailureTest, EmbeddingEndsClampedOrSignedInTheFinishedRegions) {
  const ImageRecord clamped = Clamped(*original_);
  ImageRecord image;
  EmbedReport report;
  int no_memory = 0;
  const auto prepare = [&] { image = CopyOf(*original_); };
  const auto run = [&] { return Embed(image, Seeded(), &report); };
  const auto check = [&](std::int64_t n, std::uint8_t result) {
    ASSERT_TRUE(result == kResultNoMemory || result == kResultOk)
        << "failing allocation " << n << " gave " << int{result};
    if (result == kResultNoMemory) ++no_memory;
    // Green and red are never touched.
    for (std::int32_t y = 0; y < image.height(); ++y) {
      for (std::int32_t x = 0; x < image.width(); ++x) {
        ASSERT_EQ(Sample(image, x, y, 1), Sample(*original_, x, y, 1)) << n;
        ASSERT_EQ(Sample(image, x, y, 2), Sample(*original_, x, y, 2)) << n;
      }
    }
    if (report.regions == 0) {
      // Refused before any region was chosen (the search always yields at
      // least the whole picture): only the clamp.
      ASSERT_EQ(result, kResultNoMemory) << n;
      ASSERT_EQ(std::memcmp(image.data(), clamped.data(), image.size()), 0) << n;
      return;
    }
    // Outside the chosen boxes nothing but the clamp, whatever the result.
    for (std::int32_t y = 0; y < image.height(); ++y) {
      for (std::int32_t x = 0; x < image.width(); ++x) {
        if (InsideAny(report, x, y)) continue;
        ASSERT_EQ(Sample(image, x, y, 0), Sample(clamped, x, y, 0)) << n;
      }
    }
    if (!SameBoxes(report, used_)) return;  // the search coped with fewer corners
    // The same regions as an undisturbed signing: a prefix of them is signed
    // exactly as that signing did, the rest only clamped.
    bool finished = true;
    for (std::int32_t i = 0; i < used_.regions; ++i) {
      const bool as_signed = BoxMatches(image, *signed_, used_.boxes[i]);
      const bool as_clamped = BoxMatches(image, clamped, used_.boxes[i]);
      if (!as_signed) finished = false;
      EXPECT_TRUE(finished ? as_signed : as_clamped)
          << "failing allocation " << n << " region " << i;
    }
    EXPECT_EQ(finished, result == kResultOk) << n;
  };
  const std::int64_t total = WalkAllocationFailures(prepare, run, check);
  EXPECT_GT(no_memory, 0);
  // Past the last allocation the signing is the undisturbed one.
  EXPECT_EQ(std::memcmp(image.data(), signed_->data(), image.size()), 0);
  EXPECT_GT(total, 0);
}

// The detection results a refused allocation may lead to: 6, or - where the
// search copes with a missing tile or a lost scale - an ordinary answer, which
// must then be the right one.
void ExpectNoMemoryOrRightAnswer(std::int64_t n, std::uint8_t result, const Text& text,
                                 bool is_signed) {
  if (result == kResultNoMemory) return;
  ASSERT_TRUE(result == kResultOk || result == kResultRefused)
      << "failing allocation " << n << " gave " << int{result};
  if (result == kResultOk) {
    ASSERT_TRUE(is_signed) << "failing allocation " << n << " found " << text.data();
    EXPECT_STREQ(text.data() + 8, kSignature) << n;
  }
}

TEST_F(AllocationFailureTest, DetectionAtOneScaleReturnsNoMemory) {
  for (const double scale : {1.0, 1.25}) {
    for (const bool is_signed : {true, false}) {
      const ImageRecord& picture = is_signed ? *signed_ : *original_;
      Text text;
      int no_memory = 0;
      const auto prepare = [&] { text.bytes.fill('\0'); };
      const auto run = [&] { return DetectAtScale(picture, text.data(), scale, nullptr); };
      const auto check = [&](std::int64_t n, std::uint8_t result) {
        if (result == kResultNoMemory) ++no_memory;
        ExpectNoMemoryOrRightAnswer(n, result, text, is_signed);
      };
      WalkAllocationFailures(prepare, run, check);
      EXPECT_GT(no_memory, 0) << scale;
      // The undisturbed run at the signing's own scale finds it.
      if (is_signed && scale == 1.0) {
        EXPECT_EQ(run(), kResultOk);
        ExpectFound(text);
      }
    }
  }
}

TEST_F(AllocationFailureTest, SequentialSearchReturnsNoMemory) {
  for (const bool is_signed : {true, false}) {
    const ImageRecord& picture = is_signed ? *signed_ : *small_;
    Text text;
    int no_memory = 0;
    const auto prepare = [&] { text.bytes.fill('\0'); };
    const auto run = [&] { return Detect(picture, text, 1); };
    WalkAllocationFailures(
        prepare, run,
        [&](std::int64_t n, std::uint8_t result) {
          if (result == kResultNoMemory) ++no_memory;
          ExpectNoMemoryOrRightAnswer(n, result, text, is_signed);
        },
        AllocationsOfOneScale(picture), 17);
    EXPECT_GT(no_memory, 0);
    EXPECT_EQ(run(), is_signed ? kResultOk : kResultRefused);
    if (is_signed) ExpectFound(text);
  }
}

// Two threads: a refusal costs the thread its current scale only, so the
// search never reports 6 and a found signature is always the right one.
TEST_F(AllocationFailureTest, ThreadedSearchLosesOnlyTheScale) {
  for (const bool is_signed : {true, false}) {
    const ImageRecord& picture = is_signed ? *signed_ : *small_;
    Text text;
    const auto prepare = [&] { text.bytes.fill('\0'); };
    const auto run = [&] { return Detect(picture, text, 2); };
    WalkAllocationFailures(
        prepare, run,
        [&](std::int64_t n, std::uint8_t result) {
          ASSERT_NE(result, kResultNoMemory) << n;
          ExpectNoMemoryOrRightAnswer(n, result, text, is_signed);
        },
        2 * AllocationsOfOneScale(picture), 17);
    EXPECT_EQ(run(), is_signed ? kResultOk : kResultRefused);
  }
}

}  // namespace
}  // namespace pmk
