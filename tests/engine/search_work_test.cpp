// Working memory kept for a whole search: reusing it from scale to scale must
// change no result, and a scale that fits must obtain nothing new.
#include "engine/internal/search_work.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "engine/engine.h"
#include "engine/internal/check_symbols.h"
#include "engine/internal/detect_at_scale.h"
#include "engine/internal/plane_view.h"
#include "image/checked_allocation.h"
#include "image/image_files.h"

namespace pmk {
namespace {

struct Tried {
  CandidateRect rect;
  std::string text;
};

class TraceRecorder : public DetectTrace {
 public:
  void CandidateTried(const CandidateRect& rect, const DecodedPayload& payload) noexcept override {
    tried.push_back({rect, std::string(payload.text.data(), kPayloadSymbolCount)});
  }
  std::vector<Tried> tried;
};

class SearchWorkTest : public ::testing::Test {
 protected:
  void SetUp() override {
    BuildCheckTriples();
    ImageRecord alpha;
    ASSERT_TRUE(LoadImage(std::string(PMK_TEST_DATA_DIR) + "/kodim13.png", picture_, alpha));
    ConvertTo8BitColour(picture_);
    ASSERT_EQ(picture_.channels(), 3);
  }
  void TearDown() override { ArmAllocationFailure(0); }
  ImageRecord picture_;
};

void ExpectSameTrace(const TraceRecorder& fresh, const TraceRecorder& reused, double scale) {
  ASSERT_EQ(fresh.tried.size(), reused.tried.size()) << scale;
  for (std::size_t i = 0; i < fresh.tried.size(); ++i) {
    const CandidateRect& a = fresh.tried[i].rect;
    const CandidateRect& b = reused.tried[i].rect;
    EXPECT_TRUE(a.x0 == b.x0 && a.y0 == b.y0 && a.x1 == b.x1 && a.y1 == b.y1) << scale << " " << i;
    EXPECT_EQ(fresh.tried[i].text, reused.tried[i].text) << scale << " " << i;
  }
}

TEST_F(SearchWorkTest, ReusedMemoryReadsEveryScaleAsFreshMemoryDoes) {
  // Rising, falling and repeated scales, enlarging and reducing: planes and
  // buffers left over from a larger or smaller scale must not leak into the next.
  // Both ways of holding the planes: two, or one shared by guide and carrier.
  for (const bool one_plane : {false, true}) {
    SCOPED_TRACE(one_plane ? "one plane" : "two planes");
    DetectWorkspace workspace;
    workspace.largest_scale = 2.05;
    workspace.one_plane = one_plane;
    for (const double scale : {1.0, 0.9, 1.3, 2.05, 0.95, 1.3, 1.6}) {
      TraceRecorder fresh;
      TraceRecorder reused;
      std::array<char, kDetectOutputSize> fresh_text{};
      std::array<char, kDetectOutputSize> reused_text{};
      const std::uint8_t expected =
          DetectAtScale(picture_, fresh_text.data(), scale, nullptr, &fresh);
      EXPECT_EQ(DetectAtScale(picture_, reused_text.data(), scale, nullptr, &reused, workspace),
                expected)
          << scale;
      EXPECT_FALSE(fresh.tried.empty()) << scale;
      ExpectSameTrace(fresh, reused, scale);
      EXPECT_EQ(fresh_text, reused_text) << scale;
    }
    if (one_plane) {
      EXPECT_TRUE(workspace.carrier.empty());
    }
  }
}

TEST_F(SearchWorkTest, PlanesGrowOnceToTheLargestScaleAndAreThenReused) {
  DetectWorkspace workspace;
  workspace.largest_scale = 1.5;
  std::array<char, kDetectOutputSize> text{};
  DetectAtScale(picture_, text.data(), 1.0, nullptr, nullptr, workspace);
  const std::size_t unit = static_cast<std::size_t>(picture_.width()) * picture_.height();
  EXPECT_EQ(workspace.guide.size(), unit);
  DetectAtScale(picture_, text.data(), 1.2, nullptr, nullptr, workspace);
  const std::size_t largest = static_cast<std::size_t>(picture_.width() * 1.5) *
                              static_cast<std::size_t>(picture_.height() * 1.5);
  EXPECT_EQ(workspace.guide.size(), largest);
  EXPECT_EQ(workspace.carrier.size(), largest);
  // Every scale up to the largest now runs without obtaining any memory.
  for (const double scale : {1.5, 0.9, 1.2}) {
    DetectAtScale(picture_, text.data(), scale, nullptr, nullptr, workspace);
    ArmAllocationFailure(0);
    DetectAtScale(picture_, text.data(), scale, nullptr, nullptr, workspace);
    EXPECT_EQ(AllocationCount(), 0) << scale;
  }
}

TEST_F(SearchWorkTest, MemoryFailureWithReusedMemoryIsReportedAndRecovers) {
  DetectWorkspace workspace;
  workspace.largest_scale = 2.0;
  std::array<char, kDetectOutputSize> text{};
  // The first scale's planes, then (growing) both the largest and the exact size.
  ArmAllocationFailure(1);
  EXPECT_EQ(DetectAtScale(picture_, text.data(), 1.0, nullptr, nullptr, workspace),
            kResultNoMemory);
  ArmAllocationFailure(0);
  EXPECT_EQ(DetectAtScale(picture_, text.data(), 1.0, nullptr, nullptr, workspace), kResultRefused);
  ArmAllocationFailure(1);  // the largest size cannot be had; 1.1 still fits exactly
  EXPECT_EQ(DetectAtScale(picture_, text.data(), 1.1, nullptr, nullptr, workspace), kResultRefused);
  EXPECT_TRUE(AllocationFailureTriggered());
  EXPECT_LT(workspace.guide.size(), static_cast<std::size_t>(picture_.width() * 2) *
                                        static_cast<std::size_t>(picture_.height() * 2));
}

TEST(EnsureCapacity, GrowsByHalfAtLeastAndKeepsWhatIsLargeEnough) {
  struct Case {
    std::size_t have;
    std::size_t need;
    std::size_t after;
    std::int64_t allocations;
  };
  for (const Case c : {Case{0, 10, 10, 1}, Case{10, 8, 10, 0}, Case{10, 10, 10, 0},
                       Case{10, 12, 15, 1}, Case{10, 40, 40, 1}}) {
    HeapArray<int> array;
    if (c.have > 0) {
      ASSERT_TRUE(array.Allocate(c.have));
    }
    ArmAllocationFailure(0);
    ASSERT_TRUE(EnsureCapacity(array, c.need));
    EXPECT_EQ(array.size(), c.after) << c.have << " " << c.need;
    EXPECT_EQ(AllocationCount(), c.allocations) << c.have << " " << c.need;
  }
  HeapArray<int> exact;
  ASSERT_TRUE(exact.Allocate(10));
  ASSERT_TRUE(EnsureExactCapacity(exact, 12));
  EXPECT_EQ(exact.size(), 12u);
}

}  // namespace
}  // namespace pmk
