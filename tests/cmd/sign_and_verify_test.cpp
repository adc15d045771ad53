// Every buffer of a signing run may be refused. Walking the failing allocation
// through a whole sign-and-verify run shows that each refusal ends in one of
// the run's own outcomes with its exit code, and that nothing is written
// before the signing succeeded; walking it through the final check, that a
// file that cannot be read back preserved nothing.
#include "cmd/sign_and_verify.h"

#include <FreeImage.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

#include "image/checked_allocation.h"
#include "image/freeimage_bitmap.h"
#include "image/freeimage_session.h"
#include "support/temp_folder.h"

namespace pmk::cmd {
namespace {

using testing::TempFolder;
using testing::TestData;

struct Outcome {
  int code = -1;
  std::string message;
  bool written = false;
};

class SignAndVerifyWalkTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // A third of the photograph each way: still signable, and its search is
    // short enough to repeat a few hundred times.
    EnsureFreeImageReady();
    BitmapHandle full(FreeImage_Load(FIF_PNG, TestData("kodim23.png").string().c_str(), 0));
    ASSERT_TRUE(full);
    BitmapHandle small(FreeImage_Rescale(full.get(), FreeImage_GetWidth(full.get()) / 3,
                                         FreeImage_GetHeight(full.get()) / 3, FILTER_BOX));
    ASSERT_TRUE(FreeImage_Save(FIF_PNG, small.get(), (folder_ / "small.png").string().c_str(), 0));
  }
  void TearDown() override { ArmAllocationFailure(0); }

  // One run with the n-th allocation failing (0: none).
  Outcome Run(std::int64_t n) {
    const std::filesystem::path output = folder_ / "signed.jpg";
    std::filesystem::remove(output);
    SignRequest request;
    request.input = (folder_ / "small.png").string();
    request.output = output.string();
    request.sign = true;
    request.signature = "walk-07";
    request.cores = 1;
    MessageStream messages;
    ::testing::internal::CaptureStdout();
    ArmAllocationFailure(n);
    Outcome outcome;
    outcome.code = RunSignAndVerify(request, messages);
    triggered_ = AllocationFailureTriggered();
    allocations_ = AllocationCount();
    ArmAllocationFailure(0);
    outcome.message = ::testing::internal::GetCapturedStdout();
    outcome.written = std::filesystem::exists(output);
    return outcome;
  }

  TempFolder folder_;
  bool triggered_ = false;
  std::int64_t allocations_ = 0;
};

// The outcomes a refused buffer may end in: exit code, and whether the
// signed picture was written.
void ExpectAnOutcomeOfTheRun(const Outcome& outcome, std::int64_t n) {
  struct Expected {
    std::string_view message;
    int code;
    bool written;
  };
  constexpr Expected kOutcomes[] = {
      {kMessageUnsupported, 1, false}, {kMessageNoMemory, 0, false},
      {kMessageCannotSign, 1, false},  {kMessageSuccess, 0, true},
      {kMessageNotPreserved, 0, true},
  };
  const auto* expected =
      std::find_if(std::begin(kOutcomes), std::end(kOutcomes),
                   [&](const Expected& e) { return e.message == outcome.message; });
  ASSERT_NE(expected, std::end(kOutcomes)) << "allocation " << n << ": " << outcome.message;
  EXPECT_EQ(outcome.code, expected->code) << "allocation " << n << ": " << outcome.message;
  EXPECT_EQ(outcome.written, expected->written) << "allocation " << n << ": " << outcome.message;
}

TEST_F(SignAndVerifyWalkTest, EveryRefusedBufferEndsInAnOutcomeOfTheRun) {
  ASSERT_EQ(Run(0).message, kMessageSuccess);
  const std::int64_t undisturbed = allocations_;
  // A run at this size makes about a hundred allocations: every one of them.
  // The signing's passes follow its clock-seeded rounding, so the count may
  // differ a little from run to run; the walk ends at the first run that no
  // longer reaches its failure.
  std::int64_t n = 1;
  for (;; ++n) {
    const Outcome outcome = Run(n);
    if (!triggered_) break;
    ExpectAnOutcomeOfTheRun(outcome, n);
    if (::testing::Test::HasFatalFailure()) return;
  }
  EXPECT_GT(n, undisturbed / 2);
  EXPECT_LE(n, 2 * undisturbed + 1);
}

TEST_F(SignAndVerifyWalkTest, AWrittenFileIsJudgedOnlyByReadingItBack) {
  ASSERT_EQ(Run(0).message, kMessageSuccess);
  const std::string written = (folder_ / "signed.jpg").string();
  ArmAllocationFailure(0);
  EXPECT_TRUE(SignatureReadsBack(written, 1));
  const std::int64_t undisturbed = AllocationCount();
  // The first buffer is the read-back's picture: without it there is nothing
  // to judge. Later ones belong to the check, which either copes or fails.
  for (std::int64_t n = 1; n <= undisturbed; ++n) {
    ArmAllocationFailure(n);
    const bool preserved = SignatureReadsBack(written, 1);
    ASSERT_TRUE(AllocationFailureTriggered()) << n;
    ArmAllocationFailure(0);
    if (n == 1) {
      EXPECT_FALSE(preserved);
    }
  }
  EXPECT_FALSE(SignatureReadsBack((folder_ / "never-written.jpg").string(), 1));
}

}  // namespace
}  // namespace pmk::cmd
