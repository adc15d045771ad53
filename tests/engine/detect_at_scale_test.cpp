#include "engine/internal/detect_at_scale.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "engine/engine.h"
#include "engine/internal/cell_grid.h"
#include "engine/internal/check_symbols.h"
#include "engine/internal/payload_cells.h"
#include "image/checked_allocation.h"
#include "image/image_record.h"
#include "support/pictures.h"

namespace pmk {
namespace {

using pmk::testing::GreyPicture;
using pmk::testing::SameRect;

class DetectAtScaleTest : public ::testing::Test {
 protected:
  void SetUp() override {
    BuildCheckTriples();
    Reset();
  }
  void TearDown() override { Reset(); }
  static void Reset() { ArmAllocationFailure(0); }
};

// What a check at one scale may be stopped by: way 0 the caller's flag, 1
// another search thread's find, 2 the notifier.
struct StopWays {
  const std::atomic<std::int32_t> stop{1};
  const std::atomic<std::int32_t> found_slot{3};
  Checkpoints For(int way, ProgressNotifier* notifier) const {
    if (way == 0) return {nullptr, &stop};
    if (way == 1) return {nullptr, nullptr, &found_slot};
    return notifier;
  }
};

struct TriedCandidate {
  CandidateRect rect;
  std::string text;
  bool consistent;
  bool valid;
};

class RecordingTrace : public DetectTrace {
 public:
  void CandidateTried(const CandidateRect& rect, const DecodedPayload& payload) noexcept override {
    // Check symbols may read as NUL, so the whole 18 characters are kept.
    tried.push_back({rect, std::string(payload.text.data(), kPayloadSymbolCount),
                     payload.consistent, payload.valid});
  }
  std::vector<TriedCandidate> tried;
};

class RefusingNotifier : public ProgressNotifier {
 public:
  void ReportStep(std::int32_t) override {}
  bool ShouldContinue() override {
    ++asked;
    return false;
  }
  int asked = 0;
};

// Paints the 16 x 16 cells of `rect` (whole pixels, sides multiple of 16) on
// the lattice centres that stand for the payload's cell bits.
void PaintPayload(ImageRecord& plane, const CandidateRect& rect, const char* payload_text) {
  const CellBits bits = EncodePayloadCells(payload_text);
  const double cell_width = (rect.x1 - rect.x0) / 16.0;
  const double cell_height = (rect.y1 - rect.y0) / 16.0;
  for (auto y = static_cast<std::int32_t>(rect.y0); y < rect.y1; ++y) {
    for (auto x = static_cast<std::int32_t>(rect.x0); x < rect.x1; ++x) {
      const int column = static_cast<int>((x - rect.x0) / cell_width);
      const int row = static_cast<int>((y - rect.y0) / cell_height);
      plane.Row<float>(y)[x] = bits[16 * row + column] ? 10.5f : 7.5f;
    }
  }
}

constexpr CandidateRect kShortRect{0, 0, 320, 320};
constexpr CandidateRect kLongRect{360, 48, 680, 368};

// A smoothed plane carrying a consistent 5-character payload in kShortRect
// and a valid 6-character one in kLongRect.
ImageRecord TwoPayloadPlane() {
  ImageRecord plane = testing::MakePlane(700, 400, 7.5f);
  PaintPayload(plane, kShortRect, "signSIGNshort");
  PaintPayload(plane, kLongRect, "signSIGNlonger");
  return plane;
}

CandidateList ListOf(std::initializer_list<CandidateRect> rects) {
  CandidateList list;
  EXPECT_TRUE(list.Reserve(kDetectCandidateCapacity));
  for (const CandidateRect& rect : rects) list.Append(rect);
  return list;
}

std::array<char, kDetectOutputSize> FilledText(char fill) {
  std::array<char, kDetectOutputSize> text;
  text.fill(fill);
  return text;
}

TEST(RemoveDuplicateCandidates, KeepsTheFirstOfEachGroupInOrder) {
  const CandidateRect a{100, 100, 500, 500};
  const CandidateRect b{120, 90, 480, 470};
  CandidateList list = ListOf({a,
                               {100 + 9e-6, 100 - 9e-6, 500, 500},
                               b,
                               {100, 100, 500 + 2e-5, 500},
                               {120, 90, 480, 470 + 5e-6}});
  RemoveDuplicateCandidates(list);
  ASSERT_EQ(list.count(), 3u);
  EXPECT_TRUE(SameRect(list[0], a));
  EXPECT_TRUE(SameRect(list[1], b));
  EXPECT_EQ(list[2].x1, 500 + 2e-5);  // one coordinate too far apart: distinct
}

TEST(RemoveDuplicateCandidates, ABlankedEntryNoLongerMatchesLaterOnes) {
  // Entry 1 is within reach of entry 0 and blanked; entry 2 is within reach of
  // entry 1's old values only, so it stays.
  const CandidateRect c{50, 50, 400, 400};
  CandidateList list = ListOf({c, {50 + 8e-6, 50, 400, 400}, {50 + 1.6e-5, 50, 400, 400}});
  RemoveDuplicateCandidates(list);
  ASSERT_EQ(list.count(), 2u);
  EXPECT_TRUE(SameRect(list[0], c));
  EXPECT_EQ(list[1].x0, 50 + 1.6e-5);
}

TEST(RemoveDuplicateCandidates, EmptyListStaysEmpty) {
  CandidateList list = ListOf({});
  RemoveDuplicateCandidates(list);
  EXPECT_EQ(list.count(), 0u);
}

TEST_F(DetectAtScaleTest, FirstValidCandidateWinsAndFillsTheOutput) {
  const ImageRecord plane = TwoPayloadPlane();
  CandidateList list = ListOf({kLongRect, kShortRect});
  auto text = FilledText('x');
  RecordingTrace trace;
  EXPECT_EQ(DecodeCandidates(plane, list, text.data(), nullptr, &trace), kResultOk);
  EXPECT_STREQ(text.data() + 8, "longer");
  for (std::size_t i = 18; i < text.size(); ++i) ASSERT_EQ(text[i], 0) << i;
  ASSERT_EQ(trace.tried.size(), 1u);  // the search stops at the first valid one
  EXPECT_TRUE(trace.tried[0].valid);
}

TEST_F(DetectAtScaleTest, ConsistentFiveCharacterPayloadIsSkipped) {
  const ImageRecord plane = TwoPayloadPlane();
  CandidateList list = ListOf({kShortRect, kLongRect});
  auto text = FilledText('x');
  RecordingTrace trace;
  EXPECT_EQ(DecodeCandidates(plane, list, text.data(), nullptr, &trace), kResultOk);
  EXPECT_STREQ(text.data() + 8, "longer");
  ASSERT_EQ(trace.tried.size(), 2u);
  EXPECT_STREQ(trace.tried[0].text.c_str() + 8, "short");
  EXPECT_TRUE(trace.tried[0].consistent);
  EXPECT_FALSE(trace.tried[0].valid);
}

TEST_F(DetectAtScaleTest, OnlyAShortPayloadGivesNotFoundWithItsText) {
  const ImageRecord plane = TwoPayloadPlane();
  CandidateList list = ListOf({kShortRect});
  auto text = FilledText('x');
  EXPECT_EQ(DecodeCandidates(plane, list, text.data(), nullptr, nullptr), kResultRefused);
  EXPECT_STREQ(text.data() + 8, "short");
}

TEST_F(DetectAtScaleTest, DuplicateCandidatesAreDecodedOnce) {
  const ImageRecord plane = TwoPayloadPlane();
  CandidateList list =
      ListOf({kShortRect,
              {kShortRect.x0 + 5e-6, kShortRect.y0, kShortRect.x1 - 5e-6, kShortRect.y1 + 9e-6},
              kShortRect});
  auto text = FilledText('x');
  RecordingTrace trace;
  EXPECT_EQ(DecodeCandidates(plane, list, text.data(), nullptr, &trace), kResultRefused);
  EXPECT_EQ(trace.tried.size(), 1u);
}

TEST_F(DetectAtScaleTest, EmptyListGivesNotFoundAndLeavesTheOutput) {
  const ImageRecord plane = TwoPayloadPlane();
  CandidateList list = ListOf({});
  auto text = FilledText('x');
  EXPECT_EQ(DecodeCandidates(plane, list, text.data(), nullptr, nullptr), kResultRefused);
  EXPECT_EQ(text[0], 'x');
  EXPECT_EQ(text[1023], 'x');
}

TEST_F(DetectAtScaleTest, UnmarkedRegionIsNotAccepted) {
  // All cells read 0: the check symbols agree on an empty signature, which is
  // refused.
  const ImageRecord plane = testing::MakePlane(400, 400, 1.5f);
  CandidateList list = ListOf({{10, 10, 390, 390}});
  auto text = FilledText('x');
  RecordingTrace trace;
  EXPECT_EQ(DecodeCandidates(plane, list, text.data(), nullptr, &trace), kResultRefused);
  ASSERT_EQ(trace.tried.size(), 1u);
  EXPECT_TRUE(trace.tried[0].consistent);
  EXPECT_FALSE(trace.tried[0].valid);
}

TEST_F(DetectAtScaleTest, StopOrAnotherThreadsSuccessEndsBeforeTheFirstCandidate) {
  const ImageRecord plane = TwoPayloadPlane();
  for (int way = 0; way < 3; ++way) {
    CandidateList list = ListOf({kLongRect});
    RefusingNotifier notifier;
    const StopWays ways;
    RecordingTrace trace;
    auto text = FilledText('x');
    EXPECT_EQ(DecodeCandidates(plane, list, text.data(), ways.For(way, &notifier), &trace),
              kResultRefused)
        << way;
    EXPECT_TRUE(trace.tried.empty()) << way;
    Reset();
  }
}

TEST_F(DetectAtScaleTest, MemoryFailureWhileReadingACandidateGivesNoMemory) {
  const ImageRecord plane = TwoPayloadPlane();
  // The cell mask is the one buffer obtained per candidate: the cells are
  // measured where they lie in the plane.
  for (int failing = 1; failing <= 1; ++failing) {
    CandidateList list = ListOf({kLongRect});
    auto text = FilledText('x');
    ArmAllocationFailure(failing);
    EXPECT_EQ(DecodeCandidates(plane, list, text.data(), nullptr, nullptr), kResultNoMemory)
        << failing;
    EXPECT_TRUE(AllocationFailureTriggered());
    ArmAllocationFailure(0);
  }
}

TEST_F(DetectAtScaleTest, AreaCapIsCheckedBeforeAnyAllocation) {
  // 20,000 x 10,000 is exactly the cap at 1.0. The buffer is never written,
  // so it costs address space only.
  ImageRecord huge;
  ASSERT_EQ(huge.Allocate(20000, 10000, 3, 8), kResultOk);
  auto text = FilledText(0);
  ArmAllocationFailure(0);
  EXPECT_EQ(DetectAtScale(huge, text.data(), 1.05, nullptr), kResultRefused);
  EXPECT_EQ(AllocationCount(), 0);
  // At 1.0 the cap lets it through to its first allocation (refused here,
  // so that the test does not need the 1.6 GB the two planes would take).
  ArmAllocationFailure(1);
  EXPECT_EQ(DetectAtScale(huge, text.data(), 1.0, nullptr), kResultNoMemory);
  EXPECT_TRUE(AllocationFailureTriggered());
  ArmAllocationFailure(0);
}

TEST_F(DetectAtScaleTest, RefusesAtEntryWithoutAllocating) {
  const ImageRecord picture = GreyPicture(400, 400);
  auto text = FilledText(0);
  for (int way = 0; way < 3; ++way) {
    RefusingNotifier notifier;
    const StopWays ways;
    ArmAllocationFailure(0);
    EXPECT_EQ(DetectAtScale(picture, text.data(), 1.0, ways.For(way, &notifier)), kResultRefused)
        << way;
    EXPECT_EQ(AllocationCount(), 0) << way;
    Reset();
  }
}

TEST_F(DetectAtScaleTest, RefusesPicturesItCannotRead) {
  auto text = FilledText(0);
  for (const std::array<std::int32_t, 2> layout :
       {std::array<std::int32_t, 2>{4, 8}, {1, 8}, {3, 16}}) {
    ImageRecord picture;
    ASSERT_EQ(picture.Allocate(64, 64, layout[0], layout[1]), kResultOk);
    std::memset(picture.data(), 0, static_cast<std::size_t>(picture.size()));
    EXPECT_EQ(DetectAtScale(picture, text.data(), 1.0, nullptr), kResultRefused);
  }
}

TEST_F(DetectAtScaleTest, FlatPictureHasNoSignature) {
  // No corners anywhere: the whole picture is the one candidate, and its cells
  // all read the same bit.
  const ImageRecord picture = GreyPicture(400, 360);
  auto text = FilledText('x');
  RecordingTrace trace;
  EXPECT_EQ(DetectAtScale(picture, text.data(), 1.0, nullptr, &trace), kResultRefused);
  ASSERT_EQ(trace.tried.size(), 1u);
  EXPECT_TRUE(SameRect(trace.tried[0].rect, CandidateRect{0, 0, 400, 360}));
  EXPECT_FALSE(trace.tried[0].valid);
}

TEST_F(DetectAtScaleTest, EveryEarlyMemoryFailureIsReported) {
  // In order: the rescaled picture, the product table, the guide plane's copy.
  const ImageRecord picture = GreyPicture(200, 200);
  auto text = FilledText(0);
  for (int failing = 1; failing <= 3; ++failing) {
    ArmAllocationFailure(failing);
    EXPECT_EQ(DetectAtScale(picture, text.data(), 1.2, nullptr), kResultNoMemory) << failing;
    ArmAllocationFailure(0);
  }
}

}  // namespace
}  // namespace pmk
