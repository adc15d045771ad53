// The carry of what Exiv2 cannot parse or would not keep, on arbitrary raw
// blocks: the bytes are cut into an XMP packet, a Photoshop resource block
// and PNG chunks, which are put into a small JPEG, PNG or TIFF source as
// those formats hold them; the source's metadata is then carried into a
// freshly encoded JPEG, PNG and TIFF.
//
// Input: one byte choosing the source's format, then the packet and the
// resource block, each after its length (two bytes, big-endian), then PNG
// chunks as records of a type (4 bytes), a length (1 byte) and the data.
#include <FreeImage.h>
#include <zlib.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "image/freeimage_bitmap.h"
#include "image/freeimage_session.h"
#include "image/metadata_blocks.h"
#include "image/metadata_carry.h"
#include "tests/fuzz/encoded_pictures.h"

namespace {

using pmk::Bytes;

using pmk::fuzz::Encoded;
using pmk::fuzz::kFormats;
using pmk::fuzz::kHeight;
using pmk::fuzz::kWidth;

void Require(bool condition) {
  if (!condition) std::abort();
}

// The next `size`-prefixed field of the input; what is left when it is short.
Bytes Field(const std::uint8_t*& data, std::size_t& left) {
  if (left < 2) return {};
  std::size_t size = static_cast<std::size_t>(data[0] << 8 | data[1]);
  data += 2;
  left -= 2;
  size = std::min(size, left);
  Bytes field(data, data + size);
  data += size;
  left -= size;
  return field;
}

void AppendChunk(Bytes& chunks, const std::uint8_t* type, const Bytes& data) {
  const auto put32 = [&chunks](std::uint32_t v) {
    for (int shift = 24; shift >= 0; shift -= 8)
      chunks.push_back(static_cast<std::uint8_t>(v >> shift));
  };
  put32(static_cast<std::uint32_t>(data.size()));
  const std::size_t crc_from = chunks.size();
  chunks.insert(chunks.end(), type, type + 4);
  chunks.insert(chunks.end(), data.begin(), data.end());
  put32(static_cast<std::uint32_t>(
      crc32(0, chunks.data() + crc_from, static_cast<uInt>(chunks.size() - crc_from))));
}

// The source: the encoded picture of `format` with the blocks where that
// format keeps them.
Bytes Source(FREE_IMAGE_FORMAT format, const Bytes& packet, const Bytes& resources,
             const Bytes& chunks) {
  Bytes source = Encoded(format);
  if (format == FIF_JPEG) {
    if (packet.size() <= 0xFFFF - 2 - pmk::kXmpId.size()) {
      pmk::InsertJpegSegments(source, pmk::kApp1, pmk::kXmpId, {packet});
    }
    pmk::InsertJpegSegments(source, pmk::kApp13, pmk::kPhotoshopId,
                            pmk::ResourceSegmentPayloads(resources));
  } else if (format == FIF_PNG) {
    // The packet first, so that it is the one the carry finds; then the
    // chunks, right after the header chunk.
    constexpr std::string_view kKeyword = "XML:com.adobe.xmp";
    Bytes itxt(kKeyword.begin(), kKeyword.end());
    itxt.insert(itxt.end(), 5, 0);  // end of keyword, no compression, no language
    itxt.insert(itxt.end(), packet.begin(), packet.end());
    Bytes all;
    AppendChunk(all, reinterpret_cast<const std::uint8_t*>("iTXt"), itxt);
    all.insert(all.end(), chunks.begin(), chunks.end());
    constexpr std::size_t kAfterHeader = 8 + 25;
    source.insert(source.begin() + kAfterHeader, all.begin(), all.end());
  } else {
    const std::uint16_t byte_type = 1;
    const std::uint16_t undefined = 7;
    std::vector<pmk::TiffEntry> entries;
    if (!packet.empty()) {
      entries.push_back({0x02BC, byte_type, static_cast<std::uint32_t>(packet.size()), packet});
    }
    if (!resources.empty()) {
      entries.push_back(
          {0x8649, undefined, static_cast<std::uint32_t>(resources.size()), resources});
    }
    pmk::SetTiffEntries(source, entries);
  }
  return source;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1) return 0;
  const FREE_IMAGE_FORMAT source_format = kFormats[data[0] % 3];
  ++data;
  --size;
  const Bytes packet = Field(data, size);
  const Bytes resources = Field(data, size);
  Bytes chunks;
  while (size >= 5) {
    const std::size_t length = std::min<std::size_t>(data[4], size - 5);
    AppendChunk(chunks, data, Bytes(data + 5, data + 5 + length));
    data += 5 + length;
    size -= 5 + length;
  }
  const Bytes source = Source(source_format, packet, resources, chunks);

  for (const FREE_IMAGE_FORMAT format : kFormats) {
    Bytes encoded = Encoded(format);
    const std::string left_out = pmk::CarryMetadata(source, format, kWidth, kHeight, encoded);
    Require(left_out.find('\n') == std::string::npos);
    // Whatever the blocks hold, the written file keeps a decodable picture.
    pmk::BitmapHandle back = pmk::DecodeWithoutMetadata(format, encoded, 0);
    Require(back != nullptr && FreeImage_GetWidth(back.get()) == kWidth &&
            FreeImage_GetHeight(back.get()) == kHeight);
    // A packet that was not named as left out arrives byte for byte.
    if (!packet.empty() && left_out.find("XMP") == std::string::npos && source_format != FIF_TIFF) {
      if (format == FIF_JPEG) {
        const std::vector<Bytes> packets = pmk::JpegPayloads(encoded, pmk::kApp1, pmk::kXmpId);
        Require(!packets.empty() && packets.front() == packet);
      }
      if (format == FIF_PNG)
        Require(pmk::PngXmpPacket(encoded) == std::string(packet.begin(), packet.end()));
    }
    // Within JPEG, a resource block whose framing holds arrives whole.
    if (format == FIF_JPEG && source_format == FIF_JPEG && !resources.empty() &&
        pmk::ResourceIds(resources) && left_out.find("Photoshop") == std::string::npos) {
      Require(pmk::JpegResourceBlock(encoded) == resources);
    }
  }
  return 0;
}
