// PluginMain driven in process by the host, as the editor drives it: the
// selector sequence, the blocks, the result codes and the pixels.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <functional>

#include "plugin/viewer/window_loop.h"
#include "support/plugin_library.h"
#include "support/temp_folder.h"

namespace pmk::plugin {
namespace {

using namespace host_api;
using testing::Library;
using testing::Matching;
using testing::PaintedDocument;

// The real viewer runs inside Start: unless a test asks otherwise it closes
// at once, and it keeps its settings in a folder of its own.
class PluginBoundaryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    setenv(kWindowLoopTestVariable, "close", 1);
    setenv("XDG_CONFIG_HOME", settings_.path().c_str(), 1);
  }
  void TearDown() override {
    unsetenv(kWindowLoopTestVariable);
    unsetenv("XDG_CONFIG_HOME");
  }

 private:
  pmk::testing::TempFolder settings_;
};

// Sets the window loop's test seam for one test.
class WindowSeam {
 public:
  explicit WindowSeam(const char* mode) { setenv(kWindowLoopTestVariable, mode, 1); }
  ~WindowSeam() { setenv(kWindowLoopTestVariable, "close", 1); }
};

FilterHost MakeHost(HostDocument document, bool big_document = true) {
  HostSettings settings;
  settings.big_document = big_document;
  return FilterHost(Library().entry(), std::move(document), settings);
}

TEST_F(PluginBoundaryTest, ARunAndARepeatCallTheirSelectorsAndKeepTheBlocks) {
  FilterHost host = MakeHost(PaintedDocument(300, 260, 3));
  ASSERT_EQ(host.RunFilter(false), noErr);
  EXPECT_EQ(Matching(host.log(), "selector"),
            (std::vector<std::string>{"selector 1 Parameters -> 0", "selector 2 Prepare -> 0",
                                      "selector 3 Start -> 0", "selector 4 Continue -> 0",
                                      "selector 5 Finish -> 0"}));
  EXPECT_EQ(Matching(host.log(), "advanceState").size(), 2u);
  const Handle parameters = host.record().parameters;
  const std::intptr_t data = host.data();
  const std::size_t lines = host.log().size();

  const std::vector<std::uint8_t> before = host.document().pixels;
  ASSERT_EQ(host.RunFilter(true), noErr);
  const std::vector<std::string> repeat(host.log().begin() + lines, host.log().end());
  EXPECT_EQ(repeat, (std::vector<std::string>{"selector 2 Prepare -> 0", "selector 3 Start -> 0",
                                              "selector 5 Finish -> 0"}));
  EXPECT_EQ(host.document().pixels, before);
  EXPECT_EQ(host.record().parameters, parameters);
  EXPECT_EQ(host.data(), data);
  EXPECT_EQ(host.plugin_new_calls(), 2);
  ASSERT_TRUE(host.recorded().has_value());
  EXPECT_EQ(host.suites_held(), 0);
  EXPECT_EQ(host.live_action_descriptors(), 0u);
}

TEST_F(PluginBoundaryTest, WithoutScriptingOnlyTheFirstStartAfterParametersOpensTheWindow) {
  HostSettings settings;
  settings.descriptor_parameters = false;
  FilterHost host(Library().entry(), PaintedDocument(256, 256, 3), settings);
  ASSERT_EQ(host.RunFilter(false), noErr);
  ASSERT_EQ(Matching(host.log(), "advanceState").size(), 2u);
  ASSERT_EQ(host.Call(filterSelectorPrepare), noErr);
  ASSERT_EQ(host.Call(filterSelectorStart), noErr);
  EXPECT_EQ(Matching(host.log(), "advanceState").size(), 2u);
}

TEST_F(PluginBoundaryTest, ResultCodes) {
  struct Case {
    const char* name;
    std::function<void(FilterHost&)> setup;
    int16 selector;
    OSErr expected;
  };
  auto prepared = [](FilterHost& host) {
    ASSERT_EQ(host.Call(filterSelectorParameters), noErr);
    ASSERT_EQ(host.Call(filterSelectorPrepare), noErr);
  };
  const Case cases[] = {
      {"parameter block not allocated", [](FilterHost& h) { h.faults().fail_new_of_size = 140; },
       filterSelectorParameters, memFullErr},
      {"data block not allocated", [](FilterHost& h) { h.faults().fail_new_of_size = 28; },
       filterSelectorParameters, memFullErr},
      {"block not locked", [](FilterHost& h) { h.faults().fail_lock_from_call = 1; },
       filterSelectorParameters, memFullErr},
      {"existing blocks not locked in Prepare",
       [&](FilterHost& h) {
         prepared(h);
         h.faults().fail_lock_from_call = 1;
       },
       filterSelectorPrepare, memFullErr},
      {"Start without blocks", [](FilterHost&) {}, filterSelectorStart, filterBadParameters},
      {"Finish without blocks", [](FilterHost&) {}, filterSelectorFinish, filterBadParameters},
      {"Start whose lock fails",
       [&](FilterHost& h) {
         prepared(h);
         h.faults().fail_lock_from_call = 1;
       },
       filterSelectorStart, memFullErr},
      {"unknown selector", [](FilterHost&) {}, 9, noErr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    FilterHost host = MakeHost(PaintedDocument(256, 256, 3));
    c.setup(host);
    std::vector<char> data_block;
    if (host.data() != 0) data_block = *host.HandleBytes(reinterpret_cast<Handle>(host.data()));
    EXPECT_EQ(host.Call(c.selector), c.expected);
    if (c.selector == filterSelectorStart) {
      // A Start that cannot have its blocks neither fetches nor touches them.
      EXPECT_TRUE(Matching(host.log(), "advanceState").empty());
      if (host.data() != 0) {
        EXPECT_EQ(*host.HandleBytes(reinterpret_cast<Handle>(host.data())), data_block);
      }
    }
  }
}

TEST_F(PluginBoundaryTest, AWindowThatCannotBeCreatedCancelsTheRun) {
  WindowSeam seam("fail");
  FilterHost host = MakeHost(PaintedDocument(256, 256, 4));
  const std::vector<std::uint8_t> before = host.document().pixels;
  EXPECT_EQ(host.RunFilter(false), userCanceledErr);
  EXPECT_EQ(host.document().pixels, before);
}

TEST_F(PluginBoundaryTest, PixelsCrossBothWays) {
  struct Case {
    const char* name;
    int channels;
    bool big_document;
    const char* window;
  };
  const Case cases[] = {
      {"three channels, unchanged", 3, true, "close"},
      {"four channels, unchanged", 4, true, "close"},
      {"16-bit coordinates", 3, false, "close"},
      {"blue changed in the viewer", 3, true, "clear-blue"},
      {"blue changed, with alpha", 4, false, "clear-blue"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    WindowSeam seam(c.window);
    FilterHost host = MakeHost(PaintedDocument(300, 257, c.channels), c.big_document);
    const HostDocument before = host.document();
    ASSERT_EQ(host.RunFilter(false), noErr);
    const std::string planes = c.channels == 4 ? "planes 0-3" : "planes 0-2";
    const std::string fetch =
        "advanceState in 0,0,257,300 " + planes + " out 0,0,257,300 " + planes + " -> 0";
    EXPECT_EQ(Matching(host.log(), "advanceState"), (std::vector<std::string>{fetch, fetch}));
    const bool clear_blue = std::string(c.window) == "clear-blue";
    for (std::size_t i = 0; i < before.pixels.size(); ++i) {
      const std::size_t channel = i % c.channels;
      std::uint8_t expected = before.pixels[i];
      if (channel == 2 && clear_blue) expected = 0;
      if (channel == 3 && expected <= 1) expected = 1;
      ASSERT_EQ(host.document().pixels[i], expected) << "sample " << i;
    }
  }
}

TEST_F(PluginBoundaryTest, ARefusedInputRequestStillOpensTheWindow) {
  FilterHost host = MakeHost(PaintedDocument(256, 256, 3));
  host.faults().refuse_input = true;
  const std::vector<std::uint8_t> before = host.document().pixels;
  EXPECT_EQ(host.RunFilter(false), noErr);
  EXPECT_EQ(host.document().pixels, before);
  // The window loop ran: made to fail, it cancels the run.
  WindowSeam seam("fail");
  FilterHost failing = MakeHost(PaintedDocument(256, 256, 3));
  failing.faults().refuse_input = true;
  EXPECT_EQ(failing.RunFilter(false), userCanceledErr);
}

TEST_F(PluginBoundaryTest, PrepareAsksForTwiceThePictureAndNeverMore) {
  struct Case {
    int channels;
    bool mask;
    std::int32_t max_space;
    std::int32_t expected;
  };
  const Case cases[] = {
      {3, false, 1 << 30, 2 * 3 * 300 * 256},
      {4, false, 1 << 30, 2 * 4 * 300 * 256},
      {3, true, 1 << 30, 2 * 4 * 300 * 256},
      {3, false, 1000, 1000},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.expected);
    FilterHost host = MakeHost(PaintedDocument(300, 256, c.channels));
    host.record().maxSpace = c.max_space;
    host.record().bufferSpace = 12345;
    std::uint8_t mask = 0;
    if (c.mask) host.record().maskData = &mask;
    EXPECT_EQ(host.Call(filterSelectorPrepare), noErr);
    EXPECT_EQ(host.record().maxSpace, c.expected);
    EXPECT_EQ(host.record().bufferSpace, 0);
  }
}

}  // namespace
}  // namespace pmk::plugin
