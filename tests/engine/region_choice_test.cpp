#include "engine/internal/region_choice.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <set>
#include <vector>

#include "image/checked_allocation.h"

namespace pmk {
namespace {

CandidateList MakeList(std::initializer_list<CandidateRect> rects) {
  CandidateList list;
  EXPECT_TRUE(list.Reserve(1000));
  for (const CandidateRect& rect : rects) list.Append(rect);
  return list;
}

void ExpectRect(const CandidateRect& actual, const CandidateRect& expected) {
  EXPECT_EQ(actual.x0, expected.x0);
  EXPECT_EQ(actual.y0, expected.y0);
  EXPECT_EQ(actual.x1, expected.x1);
  EXPECT_EQ(actual.y1, expected.y1);
}

TEST(RemoveNestedCandidatesTest, InnermostOfNestedSurvives) {
  const CandidateRect outer{0, 0, 1000, 1000};
  const CandidateRect middle{100, 100, 900, 900};
  const CandidateRect inner{200, 200, 600, 600};
  const CandidateRect apart{1500, 0, 1900, 400};
  CandidateList list = MakeList({outer, apart, middle, inner});
  RemoveNestedCandidates(list);
  ASSERT_EQ(list.count(), 2u);
  ExpectRect(list[0], apart);
  ExpectRect(list[1], inner);
}

TEST(RemoveNestedCandidatesTest, EarlierOfIdenticalSurvives) {
  const CandidateRect a{10, 20, 400, 500};
  const CandidateRect b{500, 20, 900, 500};
  CandidateList list = MakeList({b, a, a, b});
  RemoveNestedCandidates(list);
  ASSERT_EQ(list.count(), 2u);
  ExpectRect(list[0], b);
  ExpectRect(list[1], a);
}

TEST(RemoveNestedCandidatesTest, OverlappingButNotNestedAllStay) {
  const CandidateRect a{0, 0, 400, 400};
  const CandidateRect b{100, 100, 500, 500};
  const CandidateRect c{50, 0, 450, 380};  // sticks out of a on the right only
  CandidateList list = MakeList({a, b, c});
  RemoveNestedCandidates(list);
  ASSERT_EQ(list.count(), 3u);
  ExpectRect(list[2], c);
}

TEST(ChooseRegionsTest, LargerPreferenceStillTakesTheInnerOfNested) {
  // The larger choice picks among what nesting leaves: the outer rectangles
  // are gone, however much larger they are.
  const CandidateRect outer{0, 0, 1000, 1000};
  const CandidateRect middle{100, 100, 900, 900};
  const CandidateRect inner{200, 200, 600, 600};
  const CandidateRect apart{1500, 0, 1900, 400};
  const CandidateRect twin{1500, 0, 1900, 400};
  CandidateList list = MakeList({inner, apart, middle, outer, twin});
  RemoveNestedCandidates(list);
  EXPECT_EQ(ChooseRegions(list, RegionPreference::kLarger), 0);
  ASSERT_EQ(list.count(), 2u);
  ExpectRect(list[0], inner);
  ExpectRect(list[1], apart);
}

TEST(ChooseRegionsTest, LargerPreferenceTakesTheLargestOfTheMostRegions) {
  const struct {
    const char* what;
    std::vector<CandidateRect> rects;
    std::vector<CandidateRect> chosen;
  } cases[] = {
      {"overlapping: the largest alone",
       {{0, 0, 400, 400}, {100, 100, 700, 700}, {50, 50, 600, 600}},
       {{100, 100, 700, 700}}},
      {"two small regions beat one large",
       {{0, 0, 1000, 1000}, {900, 0, 1100, 200}, {900, 800, 1100, 1000}},
       {{900, 0, 1100, 200}, {900, 800, 1100, 1000}}},
      {"the largest of several pairs (none apart enough for a third)",
       {{0, 0, 100, 100}, {110, 0, 210, 100}, {0, 0, 120, 120}, {130, 0, 250, 120}},
       {{0, 0, 120, 120}, {130, 0, 250, 120}}},
      {"equal areas keep the first",
       {{50, 50, 300, 300}, {0, 0, 400, 400}, {100, 0, 500, 400}},
       {{0, 0, 400, 400}}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    CandidateList list = MakeList({});
    for (const CandidateRect& rect : c.rects) list.Append(rect);
    EXPECT_EQ(ChooseRegions(list, RegionPreference::kLarger), 0);
    ASSERT_EQ(list.count(), c.chosen.size());
    for (std::uint32_t i = 0; i < list.count(); ++i) ExpectRect(list[i], c.chosen[i]);
  }
}

TEST(CandidateTestsTest, DisjointAndApart) {
  const CandidateRect a{0, 0, 400, 400};
  EXPECT_TRUE(CandidatesDisjoint(a, {400, 0, 800, 400}));  // touching edge
  EXPECT_TRUE(CandidatesDisjoint(a, {0, 400, 400, 800}));
  EXPECT_FALSE(CandidatesDisjoint(a, {399, 0, 800, 400}));
  EXPECT_FALSE(CandidatesApart(a, a));
  EXPECT_FALSE(CandidatesApart(a, {440, 0, 800, 400}));  // gap of 40
  EXPECT_TRUE(CandidatesApart(a, {441, 0, 800, 400}));   // gap of 41
  EXPECT_FALSE(CandidatesApart(a, {0, 440, 400, 800}));
  EXPECT_TRUE(CandidatesApart(a, {0, 441, 400, 800}));
  EXPECT_TRUE(CandidatesApart({441, 441, 800, 800}, a));
}

TEST(ChooseRegionsTest, EmptyListStaysEmpty) {
  CandidateList list = MakeList({});
  EXPECT_EQ(ChooseRegions(list), 0);
  EXPECT_EQ(list.count(), 0u);
}

TEST(ChooseRegionsTest, MutuallyOverlappingGiveTheSmallest) {
  const CandidateRect big{0, 0, 600, 600};
  const CandidateRect small{300, 300, 700, 700};
  const CandidateRect medium{100, 200, 600, 700};
  CandidateList list = MakeList({big, medium, small});
  EXPECT_EQ(ChooseRegions(list), 0);
  ASSERT_EQ(list.count(), 1u);
  ExpectRect(list[0], small);
}

TEST(ChooseRegionsTest, FirstOfEqualSmallestOverlappingWins) {
  const CandidateRect first{0, 0, 400, 500};
  const CandidateRect second{100, 100, 600, 500};  // same area, overlapping
  CandidateList list = MakeList({{0, 0, 900, 900}, first, second});
  EXPECT_EQ(ChooseRegions(list), 0);
  ASSERT_EQ(list.count(), 1u);
  ExpectRect(list[0], first);
}

TEST(ChooseRegionsTest, TouchingCandidatesFormAPair) {
  const CandidateRect left{0, 0, 400, 400};
  const CandidateRect right{400, 0, 800, 400};
  CandidateList list = MakeList({left, right});
  EXPECT_EQ(ChooseRegions(list), 0);
  ASSERT_EQ(list.count(), 2u);
  ExpectRect(list[0], left);
  ExpectRect(list[1], right);
}

TEST(ChooseRegionsTest, ThirdRegionMustBeMoreThanFortyPixelsAway) {
  const CandidateRect left{0, 0, 400, 400};
  const CandidateRect right{400, 0, 800, 400};
  {
    CandidateList list = MakeList({{840, 0, 1240, 400}, left, right});
    EXPECT_EQ(ChooseRegions(list), 0);
    EXPECT_EQ(list.count(), 2u);
  }
  {
    const CandidateRect third{841, 0, 1241, 400};
    CandidateList list = MakeList({third, left, right});
    EXPECT_EQ(ChooseRegions(list), 0);
    ASSERT_EQ(list.count(), 3u);
    // Only the touching pair can be extended, so the third region comes last.
    ExpectRect(list[0], left);
    ExpectRect(list[1], right);
    ExpectRect(list[2], third);
  }
}

TEST(ChooseRegionsTest, EqualTotalAreasKeepTheFirstCombination) {
  // Four touching squares: every pair is disjoint, no third is apart.
  const CandidateRect a{0, 0, 400, 400};
  const CandidateRect b{400, 0, 800, 400};
  const CandidateRect c{0, 400, 400, 800};
  const CandidateRect d{400, 400, 800, 800};
  // A big candidate first that overlaps all, so the first disjoint pair is
  // (a, b) at indices 1 and 2.
  CandidateList list = MakeList({{200, 200, 600, 600}, a, b, c, d});
  EXPECT_EQ(ChooseRegions(list), 0);
  ASSERT_EQ(list.count(), 2u);
  ExpectRect(list[0], a);
  ExpectRect(list[1], b);
}

TEST(ChooseRegionsTest, SmallerLaterPairReplacesEarlierOne) {
  const CandidateRect a{0, 0, 400, 400};
  const CandidateRect b{400, 0, 800, 400};
  const CandidateRect c{0, 400, 380, 780};  // smaller than a and b
  CandidateList list = MakeList({a, b, c});
  EXPECT_EQ(ChooseRegions(list), 0);
  ASSERT_EQ(list.count(), 2u);
  // Pairs in order (a,b), (a,c), (b,c); (a,c) and (b,c) tie, (a,c) is first.
  ExpectRect(list[0], a);
  ExpectRect(list[1], c);
}

TEST(ChooseRegionsTest, AtMostFiveRegionsOfSmallestTotalArea) {
  // Six squares, 60 pixels apart: every combination is allowed; the biggest
  // (index 2) must be left out.
  CandidateList list = MakeList({{0, 0, 400, 400},
                                 {460, 0, 860, 400},
                                 {920, 0, 1340, 420},
                                 {0, 460, 400, 860},
                                 {460, 460, 860, 860},
                                 {920, 480, 1320, 880}});
  const CandidateList original = MakeList({list[0], list[1], list[2], list[3], list[4], list[5]});
  EXPECT_EQ(ChooseRegions(list), 0);
  ASSERT_EQ(list.count(), 5u);
  std::set<double> chosen_lefts_and_tops;
  for (std::uint32_t i = 0; i < 5; ++i) {
    EXPECT_FALSE(list[i].x1 == original[2].x1 && list[i].y1 == original[2].y1);
    chosen_lefts_and_tops.insert(list[i].x0 * 10000 + list[i].y0);
  }
  EXPECT_EQ(chosen_lefts_and_tops.size(), 5u);  // five different candidates
}

TEST(ChooseRegionsTest, SingleCandidateIsChosen) {
  const CandidateRect only{5, 6, 700, 800};
  CandidateList list = MakeList({only});
  EXPECT_EQ(ChooseRegions(list), 0);
  ASSERT_EQ(list.count(), 1u);
  ExpectRect(list[0], only);
}

TEST(ChooseRegionsTest, AllocationFailureReturnsSixAndLeavesListAlone) {
  const CandidateRect rects[] = {{0, 0, 400, 400},   {460, 0, 860, 400},   {920, 0, 1320, 400},
                                 {0, 460, 400, 860}, {460, 460, 860, 860}, {920, 460, 1320, 860}};
  bool completed = false;
  for (std::int64_t n = 1; n < 20 && !completed; ++n) {
    CandidateList list = MakeList({});
    for (const CandidateRect& rect : rects) list.Append(rect);
    ArmAllocationFailure(n);
    const std::uint8_t result = ChooseRegions(list);
    const bool failed = AllocationFailureTriggered();
    ArmAllocationFailure(0);
    if (!failed) {
      EXPECT_EQ(result, 0);
      EXPECT_EQ(list.count(), 5u);
      completed = true;
      continue;
    }
    EXPECT_EQ(result, 6) << "failing allocation " << n;
    ASSERT_EQ(list.count(), 6u);
    for (std::uint32_t i = 0; i < 6; ++i) ExpectRect(list[i], rects[i]);
  }
  EXPECT_TRUE(completed);
}

}  // namespace
}  // namespace pmk
