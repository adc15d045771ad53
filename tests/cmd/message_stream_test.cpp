// Log lines of concurrent runs on one log never interleave within a line.
#include "cmd/message_stream.h"

#include <gtest/gtest.h>

#ifdef _WIN32
#include <windows.h>
#endif

#include <set>
#include <string>
#include <thread>
#include <vector>

#include "support/temp_folder.h"

namespace pmk::cmd {
namespace {

using pmk::testing::ReadBytes;
using pmk::testing::TempFolder;

TEST(MessageStreamTest, ConcurrentRunsAppendWholeLines) {
#ifdef _WIN32
  // Wine emulates append-only handles with a seek and a write, which races;
  // Windows itself appends in one step.
  if (GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr)
    GTEST_SKIP() << "Wine's append-only writes are not atomic";
#endif
  TempFolder folder;
  const std::string log = (folder / "signing_output.log").string();
  constexpr int kWriters = 4;
  constexpr int kRunsEach = 300;
  std::vector<std::thread> writers;
  for (int w = 0; w < kWriters; ++w) {
    writers.emplace_back([&log, w] {
      for (int run = 0; run < kRunsEach; ++run) {
        // One stream per run, as one PMKCmd process per picture: the header
        // and the message arrive as separate pieces with a pause between.
        MessageStream messages;
        messages.OpenLog(log);
        const std::string name = "w" + std::to_string(w) + "_" + std::to_string(run);
        messages.Write(name + ".jpg -> signed/" + name + ".jpg:");
        std::this_thread::yield();
        messages.Write("Success!\n\n");
      }
    });
  }
  for (std::thread& writer : writers) writer.join();

  const std::string text = ReadBytes(log);
  std::set<std::string> seen;
  std::size_t start = 0;
  while (start < text.size()) {
    const std::size_t end = text.find("\n\n", start);
    ASSERT_NE(end, std::string::npos) << "unterminated tail: " << text.substr(start);
    const std::string line = text.substr(start, end - start);
    const std::size_t arrow = line.find(".jpg -> signed/");
    ASSERT_NE(arrow, std::string::npos) << "torn line: " << line;
    const std::string name = line.substr(0, arrow);
    EXPECT_EQ(line, name + ".jpg -> signed/" + name + ".jpg:Success!") << "torn line";
    EXPECT_TRUE(seen.insert(name).second) << "line twice: " << line;
    start = end + 2;
  }
  EXPECT_EQ(seen.size(), static_cast<std::size_t>(kWriters * kRunsEach));
}

TEST(MessageStreamTest, PiecesWithoutLineBreakReachTheLogAtClose) {
  TempFolder folder;
  const std::string log = (folder / "run.log").string();
  {
    MessageStream messages;
    messages.OpenLog(log);
    ASSERT_TRUE(messages.IsLog());
    messages.Write("a.jpg:");
    messages.Write("Signature detected:");
    messages.Write("abcdef\nnext:");
    EXPECT_EQ(ReadBytes(log), "a.jpg:Signature detected:abcdef\n");
  }
  EXPECT_EQ(ReadBytes(log), "a.jpg:Signature detected:abcdef\nnext:");
}

}  // namespace
}  // namespace pmk::cmd
