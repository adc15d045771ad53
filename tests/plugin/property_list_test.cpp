// The property list read back from the built library, as a host reads it.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

#include "plugin/interface/host_interface.h"
#include "plugin/interface/host_interface_layout.h"
#include "plugin/interface/property_list_bytes.h"
#include "support/plugin_library.h"

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

std::uint32_t Little32(const std::uint8_t* at) {
  return std::uint32_t{at[0]} | std::uint32_t{at[1]} << 8 | std::uint32_t{at[2]} << 16 |
         std::uint32_t{at[3]} << 24;
}

// The Windows resource, walked as the editor reads it: reserved word 1,
// version, count, then each property with its vendor, key, id and a length
// that keeps the next property on a 4-byte step from this one's data.
TEST(PropertyListTest, WindowsResourceHoldsTheSamePropertiesAsTheExportedList) {
  std::ifstream file(std::filesystem::path(PMK_BINARY_DIR) / "plugin/library/PictomarkerPS.pipl",
                     std::ios::binary);
  const std::vector<std::uint8_t> resource((std::istreambuf_iterator<char>(file)), {});
  constexpr PropertyListBytes kExported = BuildPropertyList(PropertyListForm::kExportedSymbol);
  ASSERT_GE(resource.size(), 10u);
  EXPECT_EQ(resource[0] | resource[1] << 8, 1);
  EXPECT_EQ(Little32(&resource[2]), 0u);
  const PropertyList& exported = Library().properties();
  ASSERT_EQ(Little32(&resource[6]), exported.keys.size());
  const std::uint8_t vendor_bytes[] = {'M', 'I', 'B', '8'};  // '8BIM' as a little-endian value
  std::size_t at = 10;
  for (std::uint32_t key : exported.keys) {
    ASSERT_LE(at + 16, resource.size());
    EXPECT_TRUE(std::equal(vendor_bytes, vendor_bytes + 4, &resource[at]));
    EXPECT_EQ(Little32(&resource[at + 4]), key);
    EXPECT_EQ(Little32(&resource[at + 8]), 0u);
    const std::uint32_t length = Little32(&resource[at + 12]);
    EXPECT_EQ(length % 4, 0u);
    at += 16 + length;
  }
  EXPECT_EQ(at, resource.size());
  // Past the reserved word the two forms are byte for byte the same list.
  ASSERT_EQ(resource.size(), kExported.size + 2);
  EXPECT_TRUE(std::equal(resource.begin() + 2, resource.end(), kExported.bytes.begin()));

  const auto read =
      ReadPropertyList(resource.data(), resource.size(), PropertyListForm::kWindowsResource);
  ASSERT_TRUE(read.has_value());
  EXPECT_EQ(read->keys, exported.keys);
  EXPECT_EQ(read->name, exported.name);
  EXPECT_EQ(read->unique_string, exported.unique_string);
  EXPECT_EQ(read->enable_condition, exported.enable_condition);
  EXPECT_EQ(read->filter_cases.size(), exported.filter_cases.size());
  EXPECT_FALSE(
      ReadPropertyList(resource.data() + 2, resource.size() - 2, PropertyListForm::kWindowsResource)
          .has_value());
}

TEST(PropertyListTest, PMKCmdSitsInPmkCmdBesideTheLibrary) {
  EXPECT_TRUE(
      std::filesystem::exists(testing::kPluginLibrary.parent_path() / "pmk_cmd" / "PMKCmd"));
}

}  // namespace
}  // namespace pmk::plugin
