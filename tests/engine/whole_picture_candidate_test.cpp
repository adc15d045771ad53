// Detection reads the whole picture after the search's candidates: a picture
// signed on its whole plane is found even where detection's wider pairing
// finds corner pairs that the signing's pairing did not.
#include "engine/internal/whole_picture_candidate.h"

#include <gtest/gtest.h>

#include <array>
#include <filesystem>
#include <string>
#include <vector>

#include "engine/engine.h"
#include "engine/internal/check_symbols.h"
#include "engine/internal/detect_at_scale.h"
#include "engine/internal/detect_signature.h"
#include "engine/internal/embed_preparation.h"
#include "image/image_files.h"
#include "image/image_record.h"

namespace pmk {
namespace {

bool Same(const CandidateRect& a, const CandidateRect& b) {
  return a.x0 == b.x0 && a.y0 == b.y0 && a.x1 == b.x1 && a.y1 == b.y1;
}

struct AppendCase {
  const char* what;
  std::vector<CandidateRect> before;
  std::uint32_t capacity;
  bool appended;
};

TEST(AppendWholePicture, AddsTheWholePlaneLastUnlessHeldOrFull) {
  const CandidateRect whole{0, 0, 640, 480};
  const CandidateRect pair{12.5, 20.25, 400.75, 380.5};
  const std::vector<AppendCase> cases = {
      {"empty list", {}, 8, true},
      {"after the search's pairs", {pair, CandidateRect{5, 5, 600, 470}}, 8, true},
      {"already there", {pair, whole}, 8, false},
      {"there within the duplicate tolerance", {CandidateRect{0, 0, 640.000001, 480}}, 8, false},
      {"differs by the tolerance", {CandidateRect{0, 0, 640.00002, 480}}, 8, true},
      {"list full", {pair, pair}, 2, false},
  };
  for (const AppendCase& c : cases) {
    SCOPED_TRACE(c.what);
    CandidateList list;
    ASSERT_TRUE(list.Reserve(c.capacity));
    for (const CandidateRect& rect : c.before) list.Append(rect);
    EXPECT_EQ(AppendWholePicture(list, 640, 480), c.appended);
    ASSERT_EQ(list.count(), c.before.size() + (c.appended ? 1 : 0));
    for (std::uint32_t i = 0; i < c.before.size(); ++i) EXPECT_TRUE(Same(list[i], c.before[i]));
    if (c.appended) {
      EXPECT_TRUE(Same(list[list.count() - 1], whole));
    }
  }
}

class TraceWithAdded : public DetectTrace {
 public:
  void WholePictureAdded(const CandidateRect& rect) noexcept override { added.push_back(rect); }
  void CandidateTried(const CandidateRect& rect, const DecodedPayload& payload) noexcept override {
    tried.push_back(rect);
    valid.push_back(payload.valid);
  }
  std::vector<CandidateRect> added;
  std::vector<CandidateRect> tried;
  std::vector<bool> valid;
};

// A crop of a photograph whose corners pair only in detection's pairing: the
// signing marks the whole picture, and detection's own candidates miss it.
TEST(WholePictureDetection, WholePlaneSignatureIsFoundWhereDetectionPairsCorners) {
  BuildCheckTriples();
  ImageRecord picture;
  ImageRecord alpha;
  ASSERT_TRUE(
      LoadImage(std::filesystem::path(PMK_TEST_DATA_DIR) / "kodim01_crop.jpg", picture, alpha));
  ConvertTo8BitColour(picture);
  const CandidateRect whole = WholePlaneRect(picture.width(), picture.height());

  CandidateList embedding;
  ASSERT_EQ(FindEmbeddingCandidates(picture, embedding), kResultOk);
  ASSERT_EQ(embedding.count(), 1u);
  ASSERT_TRUE(Same(embedding[0], whole));

  EmbedOptions options;
  options.use_fixed_seed = true;
  options.fixed_seed = 2026;
  EmbedReport report;
  ASSERT_EQ(EmbedSignature(picture, FormatPayload("Leaf-26"), {}, options, &report),
            ResultCode::kOk);
  ASSERT_EQ(report.regions, 1);

  TraceWithAdded trace;
  std::array<char, kDetectOutputSize> text{};
  ASSERT_EQ(DetectAtScale(picture, text.data(), 1.0, nullptr, &trace), kResultOk);
  EXPECT_STREQ(text.data() + kPayloadSignatureStart, "Leaf-26");
  // The search's own pairs come first and read nothing; the whole picture is
  // added once, read last, and carries the signature.
  ASSERT_EQ(trace.added.size(), 1u);
  EXPECT_TRUE(Same(trace.added[0], whole));
  ASSERT_GE(trace.tried.size(), 2u);
  for (std::size_t i = 0; i + 1 < trace.tried.size(); ++i) {
    EXPECT_FALSE(Same(trace.tried[i], whole)) << i;
    EXPECT_FALSE(trace.valid[i]) << i;
  }
  EXPECT_TRUE(Same(trace.tried.back(), whole));

  // The search the signer runs first finds it too.
  OutputText searched;
  EXPECT_EQ(DetectSignature(picture, searched, {.threads = 1}), ResultCode::kOk);
  EXPECT_STREQ(searched.Signature(), "Leaf-26");
}

}  // namespace
}  // namespace pmk
