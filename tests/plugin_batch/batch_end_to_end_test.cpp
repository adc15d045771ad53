// Batch jobs with the real PMKCmd of this build on committed photographs.
#include <gtest/gtest.h>

#include "plugin/batch/batch_job.h"
#include "support/stand_in_plugin_folder.h"

namespace pmk {
namespace {

namespace fs = std::filesystem;

int Occurrences(const std::string& text, const std::string& what) {
  int count = 0;
  for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) {
    ++count;
  }
  return count;
}

TEST(BatchEndToEnd, SignedCopiesAreFoundAgain) {
  testing::PluginFolder plugin(testing::kPmkCmdProgram);
  testing::TempFolder root;
  const fs::path photos = root / "my photos";
  fs::create_directories(photos);
  for (const char* name : {"kodim13.png", "kodim23.png"}) {
    fs::copy_file(testing::TestData(name), photos / name);
  }
  BatchRequest request;
  request.folder = photos;
  request.signature = "Batch-2026";
  request.pmk_cmd = {plugin.path(), 2, 90};

  RunBatchSigning(request);
  const std::string signing_log = testing::ReadBytes(photos / "signed" / "signing_output.log");
  EXPECT_EQ(Occurrences(signing_log, "Success!"), 2) << signing_log;
  EXPECT_TRUE(fs::exists(photos / "signed" / "kodim13.png"));
  EXPECT_TRUE(fs::exists(photos / "signed" / "kodim23.png"));

  request.folder = photos / "signed";
  RunBatchDetection(request);
  const std::string detecting_log = testing::ReadBytes(photos / "signed" / "detecting_output.log");
  EXPECT_EQ(Occurrences(detecting_log, "Signature detected:Batch-2026"), 2) << detecting_log;
}

}  // namespace
}  // namespace pmk
