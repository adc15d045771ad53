// The framing checks that decide whether a raw block travels whole or not at
// all: Photoshop resources and PNG profile names.
#include "image/metadata_blocks.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace pmk {
namespace {

Bytes Resource(const std::string& signature, std::uint16_t id, const std::string& name,
               const std::string& data) {
  Bytes r(signature.begin(), signature.end());
  r.push_back(static_cast<std::uint8_t>(id >> 8));
  r.push_back(static_cast<std::uint8_t>(id & 0xFF));
  r.push_back(static_cast<std::uint8_t>(name.size()));
  r.insert(r.end(), name.begin(), name.end());
  if (r.size() % 2 != 0) r.push_back(0);
  for (int shift = 24; shift >= 0; shift -= 8)
    r.push_back(static_cast<std::uint8_t>(data.size() >> shift));
  r.insert(r.end(), data.begin(), data.end());
  if (data.size() % 2 != 0) r.push_back(0);
  return r;
}

Bytes Joined(std::vector<Bytes> parts) {
  Bytes all;
  for (const Bytes& p : parts) all.insert(all.end(), p.begin(), p.end());
  return all;
}

TEST(MetadataBlocksTest, ResourceBlocksTravelOnlyWhenTheirFramingHolds) {
  const Bytes iptc = Resource("8BIM", kIptcResource, "",
                              std::string("\x1C\x02\x19\x00\x03"
                                          "abc",
                                          8));
  const Bytes url = Resource("8BIM", 0x040B, "link", "https://example.org");
  const Bytes odd_name = Resource("8BIM", 0x0425, "abc", std::string(16, '\x5A'));
  Bytes unpadded_last = Resource("8BIM", 0x040A, "", "\x01");
  unpadded_last.pop_back();  // some writers leave out the last pad byte
  Bytes bad_signature = url;
  bad_signature[0] = 'X';
  Bytes overrun = url;
  overrun.resize(overrun.size() - 4);
  struct Case {
    Bytes block;
    std::optional<std::vector<std::uint16_t>> ids;
  };
  for (const Case& c :
       {Case{Joined({iptc, url, odd_name}), std::vector<std::uint16_t>{0x0404, 0x040B, 0x0425}},
        Case{Joined({iptc, unpadded_last}), std::vector<std::uint16_t>{0x0404, 0x040A}},
        Case{Joined({iptc, bad_signature}), std::nullopt},
        Case{Joined({iptc, overrun}), std::nullopt},
        Case{Bytes(iptc.begin(), iptc.begin() + 11), std::nullopt}}) {
    EXPECT_EQ(ResourceIds(c.block), c.ids);
  }
}

TEST(MetadataBlocksTest, SplitResourceBlocksJoinAgain) {
  const Bytes big = Resource("8BIM", 0x040C, "", std::string(150000, '\x7F'));
  const std::vector<Bytes> payloads = ResourceSegmentPayloads(big);
  ASSERT_EQ(payloads.size(), 3u);
  Bytes jpeg = {0xFF, 0xD8, 0xFF, 0xDB, 0x00, 0x02, 0xFF, 0xDA, 0x00, 0x02};
  ASSERT_TRUE(InsertJpegSegments(jpeg, kApp13, kPhotoshopId, payloads));
  EXPECT_EQ(JpegResourceBlock(jpeg), big);
  // Inserted before the tables, after the leading application segments.
  EXPECT_EQ(jpeg[3], kApp13);
}

}  // namespace
}  // namespace pmk
