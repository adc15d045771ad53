// Every buffer of a signing run may be refused: each refusal must end in one
// of the run's own outcomes, with its exit code, and nothing may be written
// before the signing succeeded; a file that cannot be read back preserved
// nothing.
#include "cmd/sign_and_verify.h"

#include <FreeImage.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <map>
#include <string>
#include <utility>

#include "image/checked_allocation.h"
#include "image/freeimage_bitmap.h"
#include "image/freeimage_session.h"
#include "support/temp_folder.h"

namespace pmk::cmd {
namespace {

class SignAndVerifyWalkTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // A third of the photograph each way: signable, and quick to search.
    EnsureFreeImageReady();
    BitmapHandle full(
        FreeImage_Load(FIF_PNG, testing::TestData("kodim23.png").string().c_str(), 0));
    BitmapHandle small(FreeImage_Rescale(full.get(), FreeImage_GetWidth(full.get()) / 3,
                                         FreeImage_GetHeight(full.get()) / 3, FILTER_BOX));
    ASSERT_TRUE(FreeImage_Save(FIF_PNG, small.get(), (folder_ / "in.png").string().c_str(), 0));
    request_ = {.input = (folder_ / "in.png").string(),
                .output = output_,
                .sign = true,
                .signature = "walk-07",
                .written_note = "",
                .cores = 1};
  }
  void TearDown() override { ArmAllocationFailure(0); }

  struct Outcome {
    std::string message;
    int code = -1;
    bool written = false;
    bool triggered = false;        // the n-th allocation was reached
    std::int64_t allocations = 0;  // allocations the run asked for
  };
  Outcome Run(std::int64_t n) {
    std::filesystem::remove(output_);
    MessageStream messages;
    ::testing::internal::CaptureStdout();
    ArmAllocationFailure(n);
    Outcome outcome;
    outcome.code = RunSignAndVerify(request_, messages);
    outcome.triggered = AllocationFailureTriggered();
    outcome.allocations = AllocationCount();
    ArmAllocationFailure(0);
    outcome.message = ::testing::internal::GetCapturedStdout();
    outcome.written = std::filesystem::exists(output_);
    return outcome;
  }

  testing::TempFolder folder_;
  // Lossless, so that every clock-seeded signing reads back.
  const std::string output_ = (folder_ / "signed.png").string();
  SignRequest request_;
};

TEST_F(SignAndVerifyWalkTest, EveryRefusedBufferEndsInAnOutcomeOfTheRun) {
  // Exit code and whether the picture was written, by message.
  const std::map<std::string, std::pair<int, bool>> outcomes = {
      {std::string(kMessageUnsupported), {1, false}},
      {std::string(kMessageNoMemory), {0, false}},
      {std::string(kMessageCannotSign), {1, false}},
      {std::string(kMessageSuccess), {0, true}},
      {std::string(kMessageNotPreserved), {0, true}}};
  const Outcome undisturbed = Run(0);
  ASSERT_EQ(undisturbed.message, kMessageSuccess);
  // About a hundred allocations: every one. The signing's passes follow its
  // clock-seeded rounding, so the count may differ a little between runs.
  std::int64_t n = 1;
  for (;; ++n) {
    const Outcome run = Run(n);
    if (!run.triggered) break;
    const auto outcome = outcomes.find(run.message);
    ASSERT_NE(outcome, outcomes.end()) << n << ": " << run.message;
    EXPECT_EQ(std::pair(run.code, run.written), outcome->second) << n << ": " << run.message;
  }
  EXPECT_GT(n, undisturbed.allocations / 2);
  EXPECT_LE(n, 2 * undisturbed.allocations + 1);
}

TEST_F(SignAndVerifyWalkTest, AFileThatCannotBeReadBackPreservedNothing) {
  ASSERT_EQ(Run(0).message, kMessageSuccess);
  EXPECT_TRUE(SignatureReadsBack(output_, 1));
  // The first buffer is the read-back's picture; later ones are the check's.
  ArmAllocationFailure(1);
  EXPECT_FALSE(SignatureReadsBack(output_, 1));
  EXPECT_TRUE(AllocationFailureTriggered());
  ArmAllocationFailure(0);
  EXPECT_FALSE(SignatureReadsBack((folder_ / "never-written.jpg").string(), 1));
}

}  // namespace
}  // namespace pmk::cmd
