// The property list read back from the built library, as a host reads it.
#include <gtest/gtest.h>

#include "plugin/host/host_interface.h"
#include "plugin/host/host_interface_layout.h"
#include "plugin_test_support.h"

namespace pmk::plugin {
namespace {

using host_api::FourCharCode;
using testing::Library;

TEST(PropertyListTest, NamesTheFilterItsEntryPointAndWhereItApplies) {
  ASSERT_TRUE(Library().IsFilter()) << Library().error();
  const PropertyList& list = Library().properties();
  const std::vector<std::uint32_t> keys = {
      FourCharCode("kind"), FourCharCode("name"), FourCharCode("catg"), FourCharCode("vers"),
      FourCharCode("8664"), FourCharCode("mode"), FourCharCode("hstm"), FourCharCode("enbl"),
      FourCharCode("ms32"), FourCharCode("mn32"), FourCharCode("fici")};
  EXPECT_EQ(list.keys, keys);
  EXPECT_EQ(list.kind, FourCharCode("8BFM"));
  EXPECT_EQ(list.name, "Pictomarker...");
  EXPECT_EQ(list.category, "Tavelwood");
  EXPECT_EQ(list.version, 0x00040000u);
  EXPECT_EQ(list.entry_point, "PluginMain");
  EXPECT_EQ(list.modes, kModeSupportsRgbColour);
  EXPECT_EQ(list.terminology_class, FourCharCode("PMKx"));
  EXPECT_EQ(list.terminology_event, FourCharCode("PMKx"));
  EXPECT_EQ(list.terminology_id, 16000);
  EXPECT_EQ(list.unique_string, "b2f388c0-816c-11df-8c4a-0800200c9a66");
  EXPECT_EQ(list.enable_condition,
            "in (PSHOP_ImageMode, RGBMode) &&PSHOP_ImageDepth == 8 &&PSHOP_HasLayerMask == false "
            "&&PSHOP_HasSelectionMask == false &&PSHOP_NumTrueChannels == 3");
  EXPECT_EQ(list.max_height, 10000);
  EXPECT_EQ(list.max_width, 10000);
  EXPECT_EQ(list.min_height, 256);
  EXPECT_EQ(list.min_width, 256);
  ASSERT_EQ(list.filter_cases.size(), 7u);
  for (const FilterCaseInfo& info : list.filter_cases) {
    EXPECT_EQ(info.input_handling, 1);
    EXPECT_EQ(info.output_handling, 1);
    EXPECT_EQ(info.flags1, 0x08);
    EXPECT_EQ(info.flags2, 0);
  }
  EXPECT_NE(Library().entry(), nullptr);
}

TEST(PropertyListTest, ATruncatedListIsNotRead) {
  const std::uint8_t bytes[] = {0,   0,   0, 0, 2, 0, 0, 0, 'M', 'I', 'B', '8', 'd', 'n',
                                'i', 'k', 0, 0, 0, 0, 8, 0, 0,   0,   'M', 'F', 'B', '8'};
  EXPECT_FALSE(ReadPropertyList(bytes, sizeof bytes).has_value());
  EXPECT_FALSE(ReadPropertyList(bytes, 5).has_value());
}

TEST(PropertyListTest, PMKCmdSitsInPmkCmdBesideTheLibrary) {
  EXPECT_TRUE(
      std::filesystem::exists(testing::kPluginLibrary.parent_path() / "pmk_cmd" / "PMKCmd"));
}

}  // namespace
}  // namespace pmk::plugin
