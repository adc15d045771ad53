#include "engine/internal/candidate_search.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <filesystem>
#include <vector>

#include "engine/engine.h"
#include "engine/internal/guide_plane.h"
#include "image/checked_allocation.h"
#include "image/image_files.h"
#include "image/image_record.h"
#include "support/pictures.h"

namespace pmk {
namespace {

using testing::FillRect;
using testing::MakePlane;
using testing::SameRect;

CandidateList Reserved(std::uint32_t capacity) {
  CandidateList list;
  EXPECT_TRUE(list.Reserve(capacity));
  return list;
}

bool HasCorner(const CandidateRect& r, const Corner& c) {
  return (r.x0 == c.x || r.x1 == c.x) && (r.y0 == c.y || r.y1 == c.y);
}

// ---- Pairing -----------------------------------------------------------

TEST(PairCorners, CornersFarApartInBothDirectionsMakeTheirRectangle) {
  for (int mode : {0, 1}) {
    CandidateList list = Reserved(100);
    const Corner corners[] = {{100, 100, 50}, {500, 500, 40}};
    PairCorners(list, corners, 2, mode);
    ASSERT_EQ(list.count(), 1u) << "mode " << mode;
    EXPECT_TRUE(SameRect(list[0], {100, 100, 500, 500}));

    // The partner may lie on either side: the rectangle is still min to max.
    CandidateList flipped = Reserved(100);
    const Corner reversed[] = {{500, 100, 50}, {100, 500, 40}};
    PairCorners(flipped, reversed, 2, mode);
    ASSERT_EQ(flipped.count(), 1u);
    EXPECT_TRUE(SameRect(flipped[0], {100, 100, 500, 500}));
  }
}

TEST(PairCorners, BothSidesMustBeLongerThan320) {
  for (int mode : {0, 1}) {
    CandidateList list = Reserved(100);
    const Corner short_side[] = {{100, 100, 50}, {500, 400, 40}};
    PairCorners(list, short_side, 2, mode);
    EXPECT_EQ(list.count(), 0u);
    const Corner exactly[] = {{100, 100, 50}, {420, 500, 40}};
    PairCorners(list, exactly, 2, mode);
    EXPECT_EQ(list.count(), 0u);
    const Corner just_over[] = {{100, 100, 50}, {420.01, 420.01, 40}};
    PairCorners(list, just_over, 2, mode);
    EXPECT_EQ(list.count(), 1u);
  }
}

TEST(PairCorners, EmbeddingKeepsTheFirstPartnerOfEachClassInClassOrder) {
  // Anchor in the middle; partners listed in classes 3, 2, 1, 0, then a
  // second partner of class 3 that must lose to the first.
  const Corner corners[] = {{1000, 1000, 90}, {1500, 1500, 80}, {1500, 500, 70},
                            {500, 1500, 60},  {500, 500, 50},   {1600, 1600, 40}};
  CandidateList list = Reserved(100);
  PairCorners(list, corners, 6, kPairingEmbedding);
  ASSERT_GE(list.count(), 4u);
  EXPECT_TRUE(SameRect(list[0], {500, 500, 1000, 1000}));    // class 0: left, above
  EXPECT_TRUE(SameRect(list[1], {500, 1000, 1000, 1500}));   // class 1: left, below
  EXPECT_TRUE(SameRect(list[2], {1000, 500, 1500, 1000}));   // class 2: right, above
  EXPECT_TRUE(SameRect(list[3], {1000, 1000, 1500, 1500}));  // class 3: right, below
}

TEST(PairCorners, OneAnchorGivesAtMostFourRectanglesWhenEmbeddingAndEightWhenDetecting) {
  // Three partners in each quadrant around anchor 0. Later anchors never pair
  // with an earlier corner, so every rectangle with anchor 0's point as a
  // corner comes from anchor 0.
  std::vector<Corner> corners{{1000, 1000, 100}};
  float response = 99;
  for (int k = 0; k < 3; ++k) {
    const double d = 400 + 20 * k;
    corners.push_back({1000 + d, 1000 + d, response--});
    corners.push_back({1000 + d, 1000 - d, response--});
    corners.push_back({1000 - d, 1000 + d, response--});
    corners.push_back({1000 - d, 1000 - d, response--});
  }
  for (int mode : {0, 1}) {
    CandidateList list = Reserved(1000);
    PairCorners(list, corners.data(), static_cast<std::uint32_t>(corners.size()), mode);
    int from_anchor = 0;
    for (const CandidateRect& r : list) from_anchor += HasCorner(r, corners[0]) ? 1 : 0;
    EXPECT_EQ(from_anchor, mode == 0 ? 4 : 8) << "mode " << mode;
  }
  // Detection appends at once, in partner order: the first two of class 3.
  CandidateList list = Reserved(1000);
  PairCorners(list, corners.data(), static_cast<std::uint32_t>(corners.size()), 1);
  EXPECT_TRUE(SameRect(list[0], {1000, 1000, 1400, 1400}));
  EXPECT_TRUE(SameRect(list[1], {1000, 600, 1400, 1000}));
}

TEST(PairCorners, AnchorsAndPartnersAreLimitedPerMode) {
  // Corners 0..40 crowd together near (100, 100); corner `far` is the only
  // one that pairs with them.
  const auto with_far_corner_at = [](std::uint32_t far) {
    std::vector<Corner> corners;
    for (std::uint32_t i = 0; i <= far; ++i) {
      corners.push_back({100.0 + (i % 7), 100.0 + (i / 7), 1000.0f - i});
    }
    corners[far] = {900, 900, 1.0f};
    return corners;
  };
  struct Case {
    std::uint32_t far;
    int mode;
    std::uint32_t expected;
  };
  // Mode 0: partners 0..39, anchors 0..9. Mode 1: partners 0..44, anchors 0..11.
  for (const Case c : {Case{39, 0, 10}, Case{40, 0, 0}, Case{40, 1, 12}, Case{44, 1, 12},
                       Case{45, 1, 0}, Case{5, 0, 5}, Case{11, 1, 11}}) {
    const std::vector<Corner> corners = with_far_corner_at(c.far);
    CandidateList list = Reserved(1000);
    PairCorners(list, corners.data(), static_cast<std::uint32_t>(corners.size()), c.mode);
    EXPECT_EQ(list.count(), c.expected) << "far corner " << c.far << " mode " << c.mode;
  }
  // An anchor beyond the limit pairs with nothing even when partners qualify.
  std::vector<Corner> corners = with_far_corner_at(12);
  corners[12] = {100, 100, 1.0f};
  corners[11] = {900, 900, 2.0f};
  CandidateList list = Reserved(1000);
  PairCorners(list, corners.data(), 13, kPairingEmbedding);
  EXPECT_EQ(list.count(), 10u);  // anchors 0..9 with corner 11; anchor 11 is not tried
}

// ---- Clamping ----------------------------------------------------------

TEST(MakeClampedCopy, ClampsEachPassToItsHalfAndLeaves128Alone) {
  ImageRecord plane = MakePlane(6, 1, 0.0f);
  const float samples[6] = {-3.0f, 0.0f, 127.5f, 128.0f, 255.9f, 300.0f};
  std::copy(samples, samples + 6, plane.Floats());

  ImageRecord dark;
  ASSERT_EQ(MakeClampedCopy(plane, kDarkLow, kDarkHigh, dark), kResultOk);
  const float dark_expected[6] = {0.0f, 0.0f, 127.5f, 128.0f, 128.0f, 128.0f};
  ImageRecord bright;
  ASSERT_EQ(MakeClampedCopy(plane, kBrightLow, kBrightHigh, bright), kResultOk);
  const float bright_expected[6] = {128.0f, 128.0f, 128.0f, 128.0f, 255.9f, 256.0f};
  for (int i = 0; i < 6; ++i) {
    EXPECT_EQ(dark.Floats()[i], dark_expected[i]) << i;
    EXPECT_EQ(bright.Floats()[i], bright_expected[i]) << i;
    EXPECT_EQ(plane.Floats()[i], samples[i]) << "the source is never changed";
  }
}

// ---- The whole search --------------------------------------------------

// Bright rectangles far apart in the dark half, a dark one in the bright half.
ImageRecord TwoToneScene() {
  ImageRecord plane = MakePlane(900, 800, 20.0f);
  FillRect(plane, 80, 60, 500, 470, 110.0f);
  FillRect(plane, 450, 400, 850, 760, 240.0f);
  return plane;
}

TEST(FindCandidateRects, AFlatPlaneGivesTheWholePlaneAsTheOnlyCandidate) {
  for (int mode : {0, 1}) {
    for (float level : {-5.0f, 40.0f, 128.0f, 200.0f}) {
      ImageRecord plane = MakePlane(640, 480, level);
      CandidateList list = Reserved(1000);
      EXPECT_EQ(FindCandidateRects(list, plane, mode, 1.0, nullptr), kResultOk);
      ASSERT_EQ(list.count(), 1u);
      EXPECT_TRUE(SameRect(list[0], {0, 0, 640, 480}));
    }
  }
}

TEST(FindCandidateRects, RectanglesJoinCornersOfTheSceneAndLeaveThePlaneAlone) {
  ImageRecord plane = TwoToneScene();
  const std::vector<float> before(plane.Floats(), plane.Floats() + 900 * 800);
  CandidateList list = Reserved(10000);
  ASSERT_EQ(FindCandidateRects(list, plane, kPairingDetection, 1.0, nullptr), kResultOk);
  ASSERT_GT(list.count(), 0u);
  EXPECT_LE(list.count(), 193u);
  for (const CandidateRect& r : list) {
    EXPECT_GT(r.x1 - r.x0, 320.0);
    EXPECT_GT(r.y1 - r.y0, 320.0);
  }
  EXPECT_TRUE(std::equal(before.begin(), before.end(), plane.Floats()));
}

TEST(FindCandidateRects, TheDarkPassComesFirstAndTheBrightPassAppends) {
  ImageRecord plane = TwoToneScene();
  CandidateList dark_only = Reserved(1000);
  ImageRecord dark;
  ASSERT_EQ(MakeClampedCopy(plane, kDarkLow, kDarkHigh, dark), kResultOk);
  ASSERT_EQ(RunCandidatePass(dark_only, dark, kPairingEmbedding, 1.0), kResultOk);
  CandidateList bright_only = Reserved(1000);
  ImageRecord bright;
  ASSERT_EQ(MakeClampedCopy(plane, kBrightLow, kBrightHigh, bright), kResultOk);
  ASSERT_EQ(RunCandidatePass(bright_only, bright, kPairingEmbedding, 1.0), kResultOk);

  CandidateList list = Reserved(1000);
  ASSERT_EQ(FindCandidateRects(list, plane, kPairingEmbedding, 1.0, nullptr), kResultOk);
  ASSERT_EQ(list.count(), dark_only.count() + bright_only.count());
  for (std::uint32_t i = 0; i < dark_only.count(); ++i)
    EXPECT_TRUE(SameRect(list[i], dark_only[i]));
  for (std::uint32_t i = 0; i < bright_only.count(); ++i) {
    EXPECT_TRUE(SameRect(list[dark_only.count() + i], bright_only[i]));
  }
}

class StopAfter : public ProgressNotifier {
 public:
  explicit StopAfter(int answers_yes) : yes_left_(answers_yes) {}
  void ReportStep(std::int32_t) override { ++reports; }
  bool ShouldContinue() override {
    ++asked;
    return yes_left_-- > 0;
  }
  int asked = 0;
  int reports = 0;

 private:
  int yes_left_;
};

TEST(FindCandidateRects, AStopBetweenThePassesKeepsTheFirstPassAndReturnsOne) {
  ImageRecord plane = TwoToneScene();
  CandidateList dark_only = Reserved(1000);
  ImageRecord dark;
  ASSERT_EQ(MakeClampedCopy(plane, kDarkLow, kDarkHigh, dark), kResultOk);
  RunCandidatePass(dark_only, dark, kPairingDetection, 1.0);
  ASSERT_GT(dark_only.count(), 0u);

  StopAfter stop(0);
  CandidateList list = Reserved(10000);
  EXPECT_EQ(FindCandidateRects(list, plane, kPairingDetection, 1.0, &stop), kResultRefused);
  EXPECT_EQ(stop.asked, 1);
  EXPECT_EQ(stop.reports, 0);
  ASSERT_EQ(list.count(), dark_only.count());
  for (std::uint32_t i = 0; i < list.count(); ++i) EXPECT_TRUE(SameRect(list[i], dark_only[i]));

  // The caller's stop flag stops it in the same place.
  const std::atomic<std::int32_t> stop_flag{1};
  CandidateList flagged = Reserved(10000);
  EXPECT_EQ(FindCandidateRects(flagged, plane, kPairingDetection, 1.0, {nullptr, &stop_flag}),
            kResultRefused);
  EXPECT_EQ(flagged.count(), dark_only.count());

  // A notifier that lets it go on is asked once and changes nothing.
  StopAfter go_on(1);
  CandidateList full = Reserved(10000);
  EXPECT_EQ(FindCandidateRects(full, plane, kPairingDetection, 1.0, &go_on), kResultOk);
  EXPECT_EQ(go_on.asked, 1);
  EXPECT_GT(full.count(), dark_only.count());
}

TEST(FindCandidateRects, NoPairsInEitherPassFallBackToTheWholePlane) {
  // Corners exist (a small square) but no two are 320 apart.
  ImageRecord plane = MakePlane(700, 600, 60.0f);
  FillRect(plane, 200, 200, 300, 300, 100.0f);
  CandidateList list = Reserved(1000);
  EXPECT_EQ(FindCandidateRects(list, plane, kPairingEmbedding, 1.0, nullptr), kResultOk);
  ASSERT_EQ(list.count(), 1u);
  EXPECT_TRUE(SameRect(list[0], {0, 0, 700, 600}));
}

TEST(FindCandidateRects, MemoryFailuresReturnSixWithTheListAsItWasOrDropTheSecondPass) {
  ImageRecord plane = TwoToneScene();
  CandidateList reference = Reserved(1000);
  ASSERT_EQ(FindCandidateRects(reference, plane, kPairingEmbedding, 1.0, nullptr), kResultOk);

  // Walk every allocation of a run: a failure ends in 6 with the list
  // untouched (the first pass's work list) or in 0 without some or all of
  // the second pass (its work list, or a tile's peaks). Both passes read each
  // tile through the same buffers: without them neither finds a corner, and
  // the list becomes the whole plane.
  bool saw_no_memory = false;
  bool saw_second_pass_dropped = false;
  for (std::int64_t n = 1;; ++n) {
    CandidateList list = Reserved(1000);
    list.Append({1, 2, 3, 4});  // a caller's entry that must survive a failure
    ArmAllocationFailure(n);
    const std::uint8_t result = FindCandidateRects(list, plane, kPairingEmbedding, 1.0, nullptr);
    const bool triggered = AllocationFailureTriggered();
    ArmAllocationFailure(0);
    if (!triggered) {
      EXPECT_EQ(result, kResultOk);
      break;
    }
    if (result == kResultNoMemory) {
      saw_no_memory = true;
      ASSERT_EQ(list.count(), 1u) << "failure " << n;
      EXPECT_TRUE(SameRect(list[0], {1, 2, 3, 4}));
    } else {
      ASSERT_EQ(result, kResultOk) << "failure " << n;
      const CandidateRect whole{0, 0, static_cast<double>(plane.width()),
                                static_cast<double>(plane.height())};
      if (list.count() == 1 && SameRect(list[0], whole)) continue;
      EXPECT_TRUE(SameRect(list[0], {1, 2, 3, 4})) << "failure " << n;
      if (list.count() < reference.count() + 1) saw_second_pass_dropped = true;
    }
    ASSERT_LT(n, 10000);
  }
  EXPECT_TRUE(saw_no_memory);
  EXPECT_TRUE(saw_second_pass_dropped);
}

// ---- A real photograph -------------------------------------------------

TEST(FindCandidateRects, RefusesAnythingButAOneChannelFloatPlane) {
  ImageRecord bytes;
  ASSERT_EQ(bytes.Allocate(400, 400, 1, 8), kResultOk);
  ImageRecord empty;
  for (const ImageRecord* plane : {&bytes, &empty}) {
    CandidateList list = Reserved(100);
    EXPECT_EQ(FindCandidateRects(list, *plane, kPairingDetection, 1.0, nullptr), kResultRefused);
    EXPECT_EQ(list.count(), 0u);
  }
}

// kodim13 yields real corner pairs in both modes; kodim23 (512 pixels high)
// has no pair more than 320 apart vertically and falls back to the whole plane.
class RealPhotograph : public ::testing::TestWithParam<const char*> {};

TEST_P(RealPhotograph, GivesTheSameCandidatesOnEveryRun) {
  const ImageRecord plane =
      testing::GuidePlaneOf(std::filesystem::path(PMK_TEST_DATA_DIR) / GetParam());
  ASSERT_TRUE(plane.HasData());
  for (int mode : {0, 1}) {
    CandidateList first = Reserved(10000);
    ASSERT_EQ(FindCandidateRects(first, plane, mode, 1.0, nullptr), kResultOk);
    ASSERT_GT(first.count(), 0u);
    EXPECT_LE(first.count(), mode == 0 ? 81u : 193u);
    for (int run = 0; run < 3; ++run) {
      CandidateList again = Reserved(10000);
      ASSERT_EQ(FindCandidateRects(again, plane, mode, 1.0, nullptr), kResultOk);
      ASSERT_EQ(again.count(), first.count());
      for (std::uint32_t i = 0; i < first.count(); ++i) {
        EXPECT_TRUE(SameRect(again[i], first[i])) << "mode " << mode << " entry " << i;
      }
    }
  }
}

TEST(FindCandidateRects, APhotographWithFarCornersGivesMoreThanTheFallback) {
  const ImageRecord plane =
      testing::GuidePlaneOf(std::filesystem::path(PMK_TEST_DATA_DIR) / "kodim13.png");
  CandidateList list = Reserved(10000);
  ASSERT_EQ(FindCandidateRects(list, plane, kPairingDetection, 1.0, nullptr), kResultOk);
  EXPECT_GT(list.count(), 1u);
  for (const CandidateRect& r : list) {
    EXPECT_GT(r.x1 - r.x0, 320.0);
    EXPECT_GT(r.y1 - r.y0, 320.0);
    EXPECT_GE(r.x0, 10.0);
    EXPECT_LE(r.x1, plane.width() - 10.0);
  }
}

INSTANTIATE_TEST_SUITE_P(Photographs, RealPhotograph,
                         ::testing::Values("kodim23.png", "kodim13.png"));

}  // namespace
}  // namespace pmk
