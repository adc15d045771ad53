#include "plugin/batch/batch_job.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "plugin/batch/batch_cancel.h"
#include "plugin/batch/batch_image_names.h"
#include "plugin/batch/batch_worker.h"
#include "support/stand_in_plugin_folder.h"

namespace pmk {
namespace {

namespace fs = std::filesystem;
using testing::kStandInProgram;
using testing::PluginFolder;
using testing::TempFolder;

TEST(BatchImageNames, ProcessedAndCounted) {
  struct Case {
    const char* name;
    bool processed;
    bool counted;
  };
  const Case cases[] = {
      {"photo.JPG", true, true},  {"photo2.jpeg", true, false},
      {"scan.TIFF", true, false}, {"a.tif", true, true},
      {"b.Png", true, true},      {"c.bmp", true, true},
      {"d.gif", true, true},      {"notes.txt", false, false},
      {"jpg", false, false},      {"archive.jpg.zip", false, false},
      {".png", true, true},       {"x.pngg", false, false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(IsBatchImageName(c.name), c.processed) << c.name;
    EXPECT_EQ(IsCountedBatchImageName(c.name), c.counted) << c.name;
  }
}

void Touch(const fs::path& file) {
  fs::create_directories(file.parent_path());
  testing::WriteBytes(file, "x");
}

// The argument after `option` in every start.
std::vector<std::string> Values(const testing::StandInRecord& record, const std::string& option) {
  std::vector<std::string> values;
  for (const auto& run : record.runs) {
    for (std::size_t i = 0; i + 1 < run.size(); ++i) {
      if (run[i] == option) values.push_back(run[i + 1]);
    }
  }
  return values;
}

BatchRequest Request(BatchKind kind, const fs::path& folder, const PluginFolder& plugin,
                     bool recursive, int* files_done = nullptr) {
  BatchRequest request;
  request.kind = kind;
  request.folder = folder;
  request.signature = "Tester-26";
  request.recursive = recursive;
  request.pmk_cmd = {plugin.path(), 2, 90};
  if (files_done) request.file_done = [files_done] { ++*files_done; };
  return request;
}

TEST(BatchJob, JpegIsHandedOnButOnlyCountedNamesAdvanceProgress) {
  PluginFolder plugin(kStandInProgram);
  TempFolder photos;
  for (const char* name : {"photo.JPG", "photo2.jpeg", "notes.txt"}) Touch(photos / name);

  int files_done = 0;
  RunBatchSigning(Request(BatchKind::kSigning, photos.path(), plugin, false, &files_done));

  const auto record = plugin.Record();
  EXPECT_EQ(Values(record, "-i"), (std::vector<std::string>{(photos / "photo.JPG").string(),
                                                            (photos / "photo2.jpeg").string()}));
  EXPECT_EQ(Values(record, "-o")[0], (photos / "signed" / "photo.JPG").string());
  EXPECT_EQ(Values(record, "-l")[1], (photos / "signed" / "signing_output.log").string());
  EXPECT_TRUE(fs::is_directory(photos / "signed"));
  EXPECT_EQ(files_done, 1);
  EXPECT_EQ(CountImagesInTree(photos.path(), false, BatchKind::kSigning), 1u);
}

TEST(BatchJob, RecursionAndTheSignedFolder) {
  TempFolder photos;
  for (const char* name : {"a.png", "signed/old.png", "sub/b.bmp", "sub/deeper/c.tif"}) {
    Touch(photos / name);
  }
  fs::create_directories(photos / "folder.jpg");
  const fs::path a = photos / "a.png", old = photos / "signed/old.png", b = photos / "sub/b.bmp",
                 c = photos / "sub/deeper/c.tif";
  struct Case {
    BatchKind kind;
    bool recursive;
    std::vector<fs::path> inputs;
    std::vector<fs::path> logs;
  };
  const Case cases[] = {
      {BatchKind::kSigning, false, {a}, {photos / "signed/signing_output.log"}},
      {BatchKind::kSigning,
       true,
       {a, b, c},
       {photos / "signed/signing_output.log", photos / "sub/signed/signing_output.log",
        photos / "sub/deeper/signed/signing_output.log"}},
      {BatchKind::kDetection, false, {a}, {photos / "detecting_output.log"}},
      {BatchKind::kDetection,
       true,
       {a, old, b, c},
       {photos / "detecting_output.log", photos / "signed/detecting_output.log",
        photos / "sub/detecting_output.log", photos / "sub/deeper/detecting_output.log"}},
  };
  for (const Case& test : cases) {
    PluginFolder plugin(kStandInProgram);
    const BatchRequest request = Request(test.kind, photos.path(), plugin, test.recursive);
    test.kind == BatchKind::kSigning ? RunBatchSigning(request) : RunBatchDetection(request);
    const auto record = plugin.Record();
    ASSERT_EQ(record.runs.size(), test.inputs.size());
    for (std::size_t i = 0; i < test.inputs.size(); ++i) {
      EXPECT_EQ(Values(record, "-i")[i], test.inputs[i].string());
      EXPECT_EQ(Values(record, "-l")[i], test.logs[i].string());
    }
    EXPECT_EQ(CountImagesInTree(photos.path(), test.recursive, test.kind), test.inputs.size());
  }
}

TEST(BatchJob, RelativeFoldersAreHandedOnAsFullPaths) {
  TempFolder photos;
  Touch(photos / "sub/a.png");
  const fs::path before = fs::current_path();
  fs::current_path(photos.path());
  const std::string input = (fs::current_path() / "sub/a.png").string();
  for (const char* folder : {".", "sub", "./sub/"}) {
    PluginFolder plugin(kStandInProgram);
    RunBatchSigning(Request(BatchKind::kSigning, folder, plugin, true));
    RunBatchDetection(Request(BatchKind::kDetection, folder, plugin, true));
    const auto record = plugin.Record();
    EXPECT_EQ(Values(record, "-i"), (std::vector<std::string>{input, input})) << folder;
    for (const char* option : {"-o", "-l"}) {
      for (const std::string& value : Values(record, option)) {
        EXPECT_TRUE(fs::path(value).is_absolute()) << folder << " " << option << " " << value;
      }
    }
  }
  fs::current_path(before);
}

// Polls until `done` holds, for at most ten seconds.
template <class Condition>
bool WaitFor(Condition done) {
  for (int i = 0; i < 1000 && !done(); ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return done();
}

TEST(BatchWorker, CancelLetsTheRunningFileFinishAndStartsNoOther) {
  PluginFolder plugin(kStandInProgram, /*delay_ms=*/300);
  TempFolder photos;
  for (const char* name : {"1.png", "2.png", "3.png"}) Touch(photos / name);

  std::atomic<int> finished{0};
  BatchWorker worker;
  ASSERT_TRUE(worker.Start(Request(BatchKind::kDetection, photos.path(), plugin, false),
                           [&](BatchKind kind) {
                             EXPECT_EQ(kind, BatchKind::kDetection);
                             EXPECT_EQ(BatchCancel.load(), 0);
                             ++finished;
                           }));
  ASSERT_TRUE(WaitFor([&] { return plugin.Record().runs.size() == 1; }));
  // A second job never shares the running one's state.
  EXPECT_FALSE(worker.Start(Request(BatchKind::kSigning, photos.path(), plugin, false), {}));
  worker.CancelAndWait();  // as the viewer does when it closes

  const auto record = plugin.Record();
  EXPECT_EQ(record.runs.size(), 1u);
  EXPECT_EQ(record.ended, 1);
  EXPECT_EQ(finished.load(), 1);
  EXPECT_FALSE(worker.IsRunning());
  EXPECT_EQ(BatchCancel.load(), 0);

  // Once idle the worker takes the next job.
  ASSERT_TRUE(worker.Start(Request(BatchKind::kDetection, photos.path(), plugin, false), {}));
  EXPECT_TRUE(WaitFor([&] { return !worker.IsRunning(); }));
  EXPECT_EQ(plugin.Record().ended, 4);
}

}  // namespace
}  // namespace pmk
