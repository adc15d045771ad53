// The parameter block's fields through scripting and the registry.
#include <gtest/gtest.h>

#include "plugin/interface/descriptor_keys.h"
#include "plugin/library/plugin_blocks.h"
#include "support/plugin_library.h"

namespace pmk::plugin {
namespace {

using namespace host_api;
using testing::Library;
using testing::Matching;
using testing::PaintedDocument;

DescriptorItem UnitFloat(const char (&key)[5], double value) {
  return {FourCharCode(key), kTypeUnitFloat, kUnitPercent, 0, value, false};
}
DescriptorItem Enumerated(const char (&key)[5], const char (&value)[5]) {
  return {FourCharCode(key), kTypeEnumerated, kTypeDisposition, FourCharCode(value), 0, false};
}
DescriptorItem Flag(const char (&key)[5], bool value) {
  return {FourCharCode(key), kTypeBoolean, 0, 0, 0, value};
}

struct Recorded {
  const DescriptorItem* amount;
  const DescriptorItem* disposition;
  const DescriptorItem* ignore;
};
Recorded Items(const Descriptor& d) {
  return {FindItem(d, kKeyAmount), FindItem(d, kKeyDisposition), FindItem(d, kKeyIgnoreSelection)};
}

// Plays `descriptor` into a run and returns what Finish recorded for scripting.
Descriptor PlayAndRecord(FilterHost& host, const Descriptor& descriptor, int16 play_info) {
  EXPECT_EQ(host.Call(filterSelectorParameters), noErr);
  EXPECT_EQ(host.Call(filterSelectorPrepare), noErr);
  host.PlayDescriptor(descriptor, play_info);
  EXPECT_EQ(host.Call(filterSelectorStart), noErr);
  EXPECT_EQ(host.Call(filterSelectorFinish), noErr);
  const std::vector<char>& bytes = *host.HandleBytes(host.descriptor_parameters().descriptor);
  return UnpackDescriptor(bytes.data(), bytes.size());
}

FilterHost MakeHost() {
  return FilterHost(Library().entry(), PaintedDocument(256, 256, 3), HostSettings{});
}

TEST(HostParametersTest, ValuesReadFromScriptingAreRecordedAndRegistered) {
  struct Case {
    Descriptor played;
    std::int16_t amount;
    const char* disposition;
    bool ignore;
  };
  const Case cases[] = {
      {{UnitFloat("Amnt", 42.9), Enumerated("disP", "moD0")}, 42, "moD0", false},
      {{Enumerated("disP", "moD1"), UnitFloat("Amnt", -7.5)}, -7, "moD1", false},
      {{Enumerated("disP", "moD2"), Flag("ignS", true)}, 0, "moD2", true},
      {{Enumerated("disP", "moD3"), Flag("ignS", false)}, 0, "moD3", false},
      {{Enumerated("disP", "zzzz"), UnitFloat("Amnt", 1e9)}, 32767, "moD1", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.disposition);
    FilterHost host = MakeHost();
    const Descriptor recorded = PlayAndRecord(host, c.played, plugInDialogDontDisplay);
    const Recorded items = Items(recorded);
    ASSERT_NE(items.amount, nullptr);
    EXPECT_EQ(items.amount->number, c.amount);
    EXPECT_EQ(items.amount->unit_or_enum_type, kUnitPercent);
    ASSERT_NE(items.disposition, nullptr);
    EXPECT_EQ(items.disposition->unit_or_enum_type, kTypeDisposition);
    EXPECT_EQ(FourCharText(items.disposition->enum_value), c.disposition);
    // Scripting records the flag only when it is set; the registry always.
    EXPECT_EQ(items.ignore != nullptr, c.ignore);
    if (items.ignore != nullptr) {
      EXPECT_TRUE(items.ignore->flag);
    }
    EXPECT_EQ(host.descriptor_parameters().recordInfo, plugInDialogOptional);

    const Recorded registered = Items(host.registry().at(kRegistryKey));
    ASSERT_TRUE(registered.amount && registered.disposition && registered.ignore);
    EXPECT_EQ(registered.amount->number, c.amount);
    EXPECT_EQ(FourCharText(registered.disposition->enum_value), c.disposition);
    EXPECT_EQ(registered.ignore->flag, c.ignore);
  }
}

TEST(HostParametersTest, DispositionsOutsideTheEnumerationAreWrittenAsMoD1) {
  for (const std::int16_t disposition : {0, 1, 2, 3, 4, -1, 300}) {
    SCOPED_TRACE(disposition);
    FilterHost host = MakeHost();
    ASSERT_EQ(host.Call(filterSelectorParameters), noErr);
    auto& bytes = *host.HandleBytes(host.record().parameters);
    reinterpret_cast<ParameterBlock*>(bytes.data())->disposition = disposition;
    ASSERT_EQ(host.Call(filterSelectorFinish), noErr);
    const std::uint32_t written =
        FindItem(host.registry().at(kRegistryKey), kKeyDisposition)->enum_value;
    EXPECT_EQ(written, disposition >= 0 && disposition <= 3 && disposition != 1
                           ? FourCharCode("moD0") + static_cast<std::uint32_t>(disposition)
                           : FourCharCode("moD1"));
  }
}

TEST(HostParametersTest, AnUnexpectedKeyEndsTheWalkAndNoWindowOpens) {
  FilterHost host = MakeHost();
  const Descriptor recorded =
      PlayAndRecord(host, {UnitFloat("Amnt", 10), UnitFloat("junk", 1), Enumerated("disP", "moD3")},
                    plugInDialogDisplay);
  // Nothing fetched although dialogs were asked for: the read failed (-19).
  EXPECT_TRUE(Matching(host.log(), "advanceState").empty());
  EXPECT_EQ(Items(recorded).amount->number, 10);
  EXPECT_EQ(FourCharText(Items(recorded).disposition->enum_value), "moD0");
}

}  // namespace
}  // namespace pmk::plugin
