#include "image/metadata_blocks.h"

#include <zlib.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <limits>

namespace pmk {
namespace {

std::uint32_t Big16(const std::uint8_t* p) {
  return static_cast<std::uint32_t>(p[0] << 8 | p[1]);
}

std::uint32_t Big32(const std::uint8_t* p) {
  return static_cast<std::uint32_t>(p[0]) << 24 | static_cast<std::uint32_t>(p[1]) << 16 |
         static_cast<std::uint32_t>(p[2]) << 8 | p[3];
}

void PutBig32(Bytes& out, std::uint32_t value) {
  for (int shift = 24; shift >= 0; shift -= 8)
    out.push_back(static_cast<std::uint8_t>(value >> shift));
}

bool StartsWith(const std::uint8_t* data, std::size_t size, std::string_view prefix) {
  return size >= prefix.size() && std::memcmp(data, prefix.data(), prefix.size()) == 0;
}

// ---- JPEG segments

struct JpegSegment {
  std::uint8_t marker;
  std::size_t at;   // the 0xFF of the marker
  std::size_t end;  // one past the segment
};

// The segments before the first scan; nothing when they cannot all be walked.
std::optional<std::vector<JpegSegment>> JpegHeader(const Bytes& jpeg) {
  if (jpeg.size() < 4 || jpeg[0] != 0xFF || jpeg[1] != 0xD8) return std::nullopt;
  std::vector<JpegSegment> segments;
  std::size_t at = 2;
  while (at + 4 <= jpeg.size()) {
    // Bytes between segments and fill bytes are skipped, as decoders do.
    if (jpeg[at] != 0xFF || jpeg[at + 1] == 0xFF) {
      ++at;
      continue;
    }
    const std::uint8_t marker = jpeg[at + 1];
    if (marker == 0xDA || marker == 0xD9) return segments;
    if (marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7)) {
      at += 2;
      continue;
    }
    const std::size_t end = at + 2 + Big16(jpeg.data() + at + 2);
    if (end > jpeg.size() || end < at + 4) return std::nullopt;
    segments.push_back({marker, at, end});
    at = end;
  }
  return std::nullopt;
}

bool IsApplicationOrComment(std::uint8_t marker) {
  return (marker >= 0xE0 && marker <= 0xEF) || marker == 0xFE;
}

// ---- PNG chunks

constexpr std::array<std::uint8_t, 8> kPngSignature = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};

struct PngChunk {
  std::string type;
  std::size_t at;  // the length field
  std::size_t data;
  std::size_t size;  // of the data
  std::size_t end;   // one past the check sum
};

std::vector<PngChunk> PngChunks(const Bytes& png) {
  std::vector<PngChunk> chunks;
  if (png.size() < kPngSignature.size() ||
      !std::equal(kPngSignature.begin(), kPngSignature.end(), png.begin())) {
    return chunks;
  }
  std::size_t at = kPngSignature.size();
  while (png.size() - at >= 12) {
    const std::uint32_t size = Big32(png.data() + at);
    if (size > png.size() - at - 12) break;
    chunks.push_back({std::string(png.begin() + static_cast<std::ptrdiff_t>(at + 4),
                                  png.begin() + static_cast<std::ptrdiff_t>(at + 8)),
                      at, at + 8, size, at + 12 + size});
    at = chunks.back().end;
    if (chunks.back().type == "IEND") break;
  }
  return chunks;
}

std::uint32_t ChunkCrc(const std::uint8_t* type_and_data, std::size_t size) {
  return static_cast<std::uint32_t>(
      crc32(crc32(0L, Z_NULL, 0), type_and_data, static_cast<uInt>(size)));
}

bool CrcHolds(const Bytes& png, const PngChunk& chunk) {
  return ChunkCrc(png.data() + chunk.at + 4, chunk.size + 4) ==
         Big32(png.data() + chunk.data + chunk.size);
}

Bytes MakeChunk(std::string_view type, const Bytes& data) {
  Bytes chunk;
  chunk.reserve(data.size() + 12);
  PutBig32(chunk, static_cast<std::uint32_t>(data.size()));
  chunk.insert(chunk.end(), type.begin(), type.end());
  chunk.insert(chunk.end(), data.begin(), data.end());
  PutBig32(chunk, ChunkCrc(chunk.data() + 4, data.size() + 4));
  return chunk;
}

// The keyword of a text or profile chunk: up to its terminating zero.
std::string_view ChunkKeyword(const Bytes& png, const PngChunk& chunk) {
  const auto* begin = reinterpret_cast<const char*>(png.data() + chunk.data);
  const auto* zero = static_cast<const char*>(std::memchr(begin, 0, chunk.size));
  return zero == nullptr ? std::string_view() : std::string_view(begin, zero - begin);
}

bool IsTextChunk(const std::string& type) {
  return type == "tEXt" || type == "zTXt" || type == "iTXt";
}

// Text keywords whose content Exiv2 reads and writes in its own form.
bool HoldsExiv2Metadata(std::string_view keyword) {
  for (std::string_view prefix :
       {"Raw profile type exif", "Raw profile type APP1", "Raw profile type iptc",
        "Raw profile type xmp", "Raw profile type icc", "XML:com.adobe.xmp"}) {
    if (keyword.substr(0, prefix.size()) == prefix) return true;
  }
  return false;
}

// A keyword as PNG allows it: 1 to 79 Latin-1 printable characters, no
// leading, trailing or doubled space.
bool IsValidKeyword(std::string_view keyword) {
  if (keyword.empty() || keyword.size() > 79 || keyword.front() == ' ' || keyword.back() == ' ' ||
      keyword.find("  ") != std::string_view::npos) {
    return false;
  }
  return std::all_of(keyword.begin(), keyword.end(), [](char c) {
    const auto u = static_cast<unsigned char>(c);
    return (u >= 32 && u <= 126) || u >= 161;
  });
}

struct PngLayout {
  std::uint8_t bit_depth = 0;
  std::uint8_t colour_type = 0;
};

std::optional<PngLayout> PngHeader(const Bytes& png, const std::vector<PngChunk>& chunks) {
  if (chunks.empty() || chunks.front().type != "IHDR" || chunks.front().size != 13) {
    return std::nullopt;
  }
  return PngLayout{png[chunks.front().data + 8], png[chunks.front().data + 9]};
}

// A background colour in `to`'s sample layout, from `from`'s bKGD data
// (through its palette for an indexed picture); empty when it does not fit.
Bytes BackgroundFor(const Bytes& png, const std::vector<PngChunk>& chunks, const PngChunk& bkgd,
                    PngLayout from, PngLayout to) {
  // Sample depths are 1 to 16 bits; anything else is no PNG to follow.
  if (from.bit_depth == 0 || from.bit_depth > 16 || to.bit_depth == 0 || to.bit_depth > 16) {
    return {};
  }
  const std::uint8_t* data = png.data() + bkgd.data;
  std::array<std::uint32_t, 3> rgb{};
  std::uint32_t from_max = (1u << from.bit_depth) - 1;
  if (from.colour_type == 3) {
    const auto plte = std::find_if(chunks.begin(), chunks.end(),
                                   [](const PngChunk& c) { return c.type == "PLTE"; });
    if (bkgd.size != 1 || plte == chunks.end() || std::size_t{data[0]} * 3 + 3 > plte->size) {
      return {};
    }
    for (int i = 0; i < 3; ++i) rgb[i] = png[plte->data + data[0] * 3u + i];
    from_max = 255;
  } else if (from.colour_type == 0 || from.colour_type == 4) {
    if (bkgd.size != 2) return {};
    rgb.fill(Big16(data));
  } else {
    if (bkgd.size != 6) return {};
    for (int i = 0; i < 3; ++i) rgb[i] = Big16(data + 2 * i);
  }
  const std::uint32_t to_max = (1u << to.bit_depth) - 1;
  Bytes out;
  const auto put = [&](std::uint32_t value) {
    const std::uint32_t scaled = (std::min(value, from_max) * to_max + from_max / 2) / from_max;
    out.push_back(static_cast<std::uint8_t>(scaled >> 8));
    out.push_back(static_cast<std::uint8_t>(scaled & 0xFF));
  };
  if (to.colour_type == 0 || to.colour_type == 4) {
    put((rgb[0] * 299 + rgb[1] * 587 + rgb[2] * 114 + 500) / 1000);
  } else if (to.colour_type == 2 || to.colour_type == 6) {
    for (const std::uint32_t value : rgb) put(value);
  }
  return out;
}

// ---- TIFF directories

struct TiffFile {
  bool little_endian = true;
  std::size_t directory = 0;
  std::size_t entries = 0;
};

std::uint32_t ReadTiff(const Bytes& file, std::size_t at, std::size_t bytes, bool little_endian) {
  std::uint32_t value = 0;
  for (std::size_t i = 0; i < bytes; ++i) {
    const std::uint32_t byte = file[at + (little_endian ? i : bytes - 1 - i)];
    value |= byte << (8 * i);
  }
  return value;
}

void PutTiff(Bytes& out, std::uint32_t value, std::size_t bytes, bool little_endian) {
  for (std::size_t i = 0; i < bytes; ++i) {
    const std::size_t shift = 8 * (little_endian ? i : bytes - 1 - i);
    out.push_back(static_cast<std::uint8_t>(value >> shift));
  }
}

std::optional<TiffFile> ClassicTiff(const Bytes& tiff) {
  const std::optional<bool> little = TiffLittleEndian(tiff);
  if (!little) return std::nullopt;
  const std::size_t directory = ReadTiff(tiff, 4, 4, *little);
  if (directory < 8 || directory > tiff.size() || tiff.size() - directory < 6) return std::nullopt;
  const std::size_t entries = ReadTiff(tiff, directory, 2, *little);
  if (entries > (tiff.size() - directory - 6) / 12) return std::nullopt;
  return TiffFile{*little, directory, entries};
}

std::size_t TypeSize(std::uint16_t type) {
  switch (type) {
    case 3:
    case 8:
      return 2;
    case 4:
    case 9:
    case 11:
    case 13:
      return 4;
    case 5:
    case 10:
    case 12:
      return 8;
    default:
      return 1;
  }
}

// The value bytes of entry `index` of the first directory; empty when they
// lie outside the file.
Bytes TiffEntryValue(const Bytes& tiff, const TiffFile& file, std::size_t index) {
  const std::size_t entry = file.directory + 2 + 12 * index;
  const std::uint64_t size =
      std::uint64_t{
          TypeSize(static_cast<std::uint16_t>(ReadTiff(tiff, entry + 2, 2, file.little_endian)))} *
      ReadTiff(tiff, entry + 4, 4, file.little_endian);
  const std::uint64_t at = size <= 4 ? entry + 8 : ReadTiff(tiff, entry + 8, 4, file.little_endian);
  if (at > tiff.size() || size > tiff.size() - at) return {};
  return Bytes(tiff.begin() + static_cast<std::ptrdiff_t>(at),
               tiff.begin() + static_cast<std::ptrdiff_t>(at + size));
}

unsigned ResourceKinds(const Bytes& block) {
  const auto ids = ResourceIds(block);
  if (!ids) return kPhotoshopKind;  // present, if damaged
  unsigned kinds = 0;
  for (const std::uint16_t id : *ids) kinds |= id == kIptcResource ? kIptcKind : kPhotoshopKind;
  return kinds;
}

unsigned JpegKinds(const Bytes& jpeg) {
  const auto segments = JpegHeader(jpeg);
  if (!segments) return 0;
  unsigned kinds = 0;
  for (const JpegSegment& s : *segments) {
    const std::uint8_t* payload = jpeg.data() + s.at + 4;
    const std::size_t size = s.end - s.at - 4;
    if (s.marker == kApp1 && StartsWith(payload, size, std::string_view("Exif\0\0", 6))) {
      kinds |= kExifKind;
    }
    if (s.marker == kApp1 && StartsWith(payload, size, kXmpId)) kinds |= kXmpKind;
    if (s.marker == kApp1 && StartsWith(payload, size, kExtendedXmpId)) kinds |= kExtendedXmpKind;
    if (s.marker == 0xE2 && StartsWith(payload, size, std::string_view("ICC_PROFILE\0", 12))) {
      kinds |= kProfileKind;
    }
    if (s.marker == 0xFE && size > 0) kinds |= kCommentKind;
  }
  const Bytes block = JpegResourceBlock(jpeg);
  if (!block.empty()) kinds |= ResourceKinds(block);
  return kinds;
}

unsigned PngKinds(const Bytes& png) {
  unsigned kinds = 0;
  for (const PngChunk& chunk : PngChunks(png)) {
    if (chunk.type == "eXIf") kinds |= kExifKind;
    if (chunk.type == "iCCP") kinds |= kProfileKind;
    if (!IsTextChunk(chunk.type)) continue;
    const std::string_view keyword = ChunkKeyword(png, chunk);
    if (keyword == "Raw profile type exif" || keyword == "Raw profile type APP1") {
      kinds |= kExifKind;
    }
    if (keyword == "Raw profile type iptc") kinds |= kIptcKind;
    if (keyword == "XML:com.adobe.xmp" || keyword == "Raw profile type xmp") kinds |= kXmpKind;
  }
  return kinds;
}

unsigned TiffKinds(const Bytes& tiff) {
  const auto file = ClassicTiff(tiff);
  if (!file) return 0;
  unsigned kinds = 0;
  for (std::size_t i = 0; i < file->entries; ++i) {
    const auto tag = static_cast<std::uint16_t>(
        ReadTiff(tiff, file->directory + 2 + 12 * i, 2, file->little_endian));
    if (tag == 0x02BC) kinds |= kXmpKind;
    if (tag == 0x83BB) kinds |= kIptcKind;
    if (tag == 0x8773) kinds |= kProfileKind;
    if (tag == 0x8649) kinds |= ResourceKinds(TiffEntryValue(tiff, *file, i));
    if (!IsLayoutTag(tag)) kinds |= kExifKind;
  }
  return kinds;
}

}  // namespace

bool IsLayoutTag(std::uint16_t tag) {
  static constexpr std::array<std::uint16_t, 62> kLayoutTags = {
      0x00FE, 0x00FF, 0x0100, 0x0101, 0x0102, 0x0103, 0x0106, 0x0107, 0x0108, 0x0109, 0x010A,
      0x0111, 0x0115, 0x0116, 0x0117, 0x0118, 0x0119, 0x011C, 0x0120, 0x0121, 0x0122, 0x0123,
      0x0124, 0x0125, 0x0129, 0x012D, 0x013D, 0x0140, 0x0141, 0x0142, 0x0143, 0x0144, 0x0145,
      0x014A, 0x014C, 0x014D, 0x014E, 0x0150, 0x0152, 0x0153, 0x0154, 0x0155, 0x0156, 0x015A,
      0x015B, 0x0200, 0x0201, 0x0202, 0x0203, 0x0205, 0x0206, 0x0207, 0x0208, 0x0209, 0x0211,
      0x0212, 0x0213, 0x0214, 0x02BC, 0x83BB, 0x8649, 0x8773};
  return std::find(kLayoutTags.begin(), kLayoutTags.end(), tag) != kLayoutTags.end();
}

unsigned MetadataKindsIn(FREE_IMAGE_FORMAT format, const Bytes& file) {
  switch (format) {
    case FIF_JPEG:
      return JpegKinds(file);
    case FIF_PNG:
      return PngKinds(file);
    case FIF_TIFF:
      return TiffKinds(file);
    default:
      return 0;
  }
}

std::vector<Bytes> JpegPayloads(const Bytes& jpeg, std::uint8_t marker, std::string_view id) {
  std::vector<Bytes> payloads;
  const auto segments = JpegHeader(jpeg);
  if (!segments) return payloads;
  for (const JpegSegment& s : *segments) {
    if (s.marker != marker || !StartsWith(jpeg.data() + s.at + 4, s.end - s.at - 4, id)) continue;
    payloads.emplace_back(jpeg.begin() + static_cast<std::ptrdiff_t>(s.at + 4 + id.size()),
                          jpeg.begin() + static_cast<std::ptrdiff_t>(s.end));
  }
  return payloads;
}

bool InsertJpegSegments(Bytes& jpeg, std::uint8_t marker, std::string_view id,
                        const std::vector<Bytes>& payloads) {
  const auto segments = JpegHeader(jpeg);
  if (!segments) return false;
  std::size_t at = 2;
  for (const JpegSegment& s : *segments) {
    if (!IsApplicationOrComment(s.marker)) break;
    at = s.end;
  }
  Bytes inserted;
  for (const Bytes& payload : payloads) {
    const std::size_t length = 2 + id.size() + payload.size();
    if (length > 0xFFFF) return false;
    inserted.insert(inserted.end(), {0xFF, marker, static_cast<std::uint8_t>(length >> 8),
                                     static_cast<std::uint8_t>(length & 0xFF)});
    inserted.insert(inserted.end(), id.begin(), id.end());
    inserted.insert(inserted.end(), payload.begin(), payload.end());
  }
  jpeg.insert(jpeg.begin() + static_cast<std::ptrdiff_t>(at), inserted.begin(), inserted.end());
  return true;
}

Bytes JpegResourceBlock(const Bytes& jpeg) {
  Bytes block;
  for (const Bytes& part : JpegPayloads(jpeg, kApp13, kPhotoshopId)) {
    block.insert(block.end(), part.begin(), part.end());
  }
  return block;
}

std::vector<Bytes> ResourceSegmentPayloads(const Bytes& block) {
  constexpr std::size_t kMaxPayload = 0xFFFF - 2 - kPhotoshopId.size();
  std::vector<Bytes> payloads;
  for (std::size_t at = 0; at < block.size(); at += kMaxPayload) {
    const std::size_t end = std::min(block.size(), at + kMaxPayload);
    payloads.emplace_back(block.begin() + static_cast<std::ptrdiff_t>(at),
                          block.begin() + static_cast<std::ptrdiff_t>(end));
  }
  return payloads;
}

void CopyJfifDensity(const Bytes& source, Bytes& jpeg) {
  constexpr std::string_view kJfif{"JFIF\0", 5};
  // Version (2 bytes), then unit (1) and the two densities (2 each).
  constexpr std::size_t kDensityAt = kJfif.size() + 2;
  constexpr std::size_t kDensityBytes = 5;
  const std::vector<Bytes> from = JpegPayloads(source, 0xE0, kJfif);
  const auto segments = JpegHeader(jpeg);
  if (from.empty() || from.front().size() < kDensityAt - kJfif.size() + kDensityBytes ||
      !segments) {
    return;
  }
  for (const JpegSegment& s : *segments) {
    if (s.marker != 0xE0 || !StartsWith(jpeg.data() + s.at + 4, s.end - s.at - 4, kJfif) ||
        s.end - s.at - 4 < kDensityAt + kDensityBytes) {
      continue;
    }
    std::copy_n(from.front().begin() + 2, kDensityBytes,
                jpeg.begin() + static_cast<std::ptrdiff_t>(s.at + 4 + kDensityAt));
    return;
  }
}

std::optional<std::vector<std::uint16_t>> ResourceIds(const Bytes& block) {
  std::vector<std::uint16_t> ids;
  std::size_t at = 0;
  while (at < block.size()) {
    // Signature, id, the name as a Pascal string padded to an even length,
    // the data's size and the data, padded to an even length.
    if (block.size() - at < 12) return std::nullopt;
    const std::uint8_t* p = block.data() + at;
    const bool known = std::memcmp(p, "8BIM", 4) == 0 || std::memcmp(p, "PHUT", 4) == 0 ||
                       std::memcmp(p, "AgHg", 4) == 0 || std::memcmp(p, "DCSR", 4) == 0;
    if (!known) return std::nullopt;
    const std::size_t name = (std::size_t{p[6]} + 2) & ~std::size_t{1};
    if (block.size() - at < 6 + name + 4) return std::nullopt;
    const std::uint64_t size = Big32(p + 6 + name);
    const std::uint64_t padded = (size + 1) & ~std::uint64_t{1};
    const std::uint64_t left = block.size() - at - 6 - name - 4;
    // The last resource may lack its pad byte.
    if (size > left) return std::nullopt;
    ids.push_back(static_cast<std::uint16_t>(Big16(p + 4)));
    at += 6 + name + 4 + static_cast<std::size_t>(std::min(padded, left));
  }
  return ids;
}

std::string PngXmpPacket(const Bytes& png) {
  for (const PngChunk& chunk : PngChunks(png)) {
    if (chunk.type != "iTXt" || ChunkKeyword(png, chunk) != "XML:com.adobe.xmp") continue;
    // Keyword, zero, compression flag and method, language tag and
    // translated keyword (each ending in a zero), then the text.
    const auto* begin = png.data() + chunk.data;
    const auto* end = begin + chunk.size;
    const auto* p = begin + std::string_view("XML:com.adobe.xmp").size() + 1;
    if (end - p < 2 || p[0] != 0) return "";
    p += 2;
    for (int field = 0; field < 2; ++field) {
      p = static_cast<const std::uint8_t*>(std::memchr(p, 0, static_cast<std::size_t>(end - p)));
      if (p == nullptr) return "";
      ++p;
    }
    return std::string(reinterpret_cast<const char*>(p), static_cast<std::size_t>(end - p));
  }
  return "";
}

std::vector<std::string> CarryPngChunks(const Bytes& source, Bytes& written) {
  std::vector<std::string> damaged;
  const std::vector<PngChunk> from = PngChunks(source);
  const std::vector<PngChunk> to = PngChunks(written);
  const auto from_layout = PngHeader(source, from);
  const auto to_layout = PngHeader(written, to);
  if (!from_layout || !to_layout) return damaged;

  std::vector<std::string> to_keywords;
  for (const PngChunk& chunk : to) {
    if (IsTextChunk(chunk.type)) to_keywords.emplace_back(ChunkKeyword(written, chunk));
  }
  // Before the picture's palette and data: colour and resolution; before its
  // data: the background and the texts.
  Bytes early;
  Bytes late;
  std::vector<std::string> replaced;
  for (const PngChunk& chunk : from) {
    static constexpr std::array<const char*, 5> kDescribing = {"gAMA", "cHRM", "sRGB", "cICP",
                                                               "pHYs"};
    const bool describing =
        std::find(kDescribing.begin(), kDescribing.end(), chunk.type) != kDescribing.end();
    const bool text = IsTextChunk(chunk.type);
    if (!describing && !text && chunk.type != "bKGD") continue;
    if (!text && std::find(replaced.begin(), replaced.end(), chunk.type) != replaced.end()) {
      continue;  // a second one, which PNG does not allow
    }
    const std::string_view keyword = text ? ChunkKeyword(source, chunk) : std::string_view();
    if (text && (HoldsExiv2Metadata(keyword) ||
                 std::find(to_keywords.begin(), to_keywords.end(), keyword) != to_keywords.end())) {
      continue;
    }
    if (!CrcHolds(source, chunk) || (text && !IsValidKeyword(keyword))) {
      damaged.push_back(chunk.type);
      continue;
    }
    const auto bytes_of = [&](const PngChunk& c) {
      return Bytes(source.begin() + static_cast<std::ptrdiff_t>(c.at),
                   source.begin() + static_cast<std::ptrdiff_t>(c.end));
    };
    Bytes chunk_bytes;
    if (chunk.type == "bKGD") {
      const Bytes colour = BackgroundFor(source, from, chunk, *from_layout, *to_layout);
      if (colour.empty()) {
        damaged.push_back(chunk.type);
        continue;
      }
      chunk_bytes = MakeChunk("bKGD", colour);
    } else {
      chunk_bytes = bytes_of(chunk);
    }
    if (!text) replaced.push_back(chunk.type);
    Bytes& into = describing ? early : late;
    into.insert(into.end(), chunk_bytes.begin(), chunk_bytes.end());
  }

  Bytes out(written.begin(), written.begin() + kPngSignature.size());
  out.reserve(written.size() + early.size() + late.size());
  bool late_done = false;
  for (const PngChunk& chunk : to) {
    if (std::find(replaced.begin(), replaced.end(), chunk.type) != replaced.end()) continue;
    if (!late_done && (chunk.type == "IDAT" || chunk.type == "IEND")) {
      out.insert(out.end(), late.begin(), late.end());
      late_done = true;
    }
    out.insert(out.end(), written.begin() + static_cast<std::ptrdiff_t>(chunk.at),
               written.begin() + static_cast<std::ptrdiff_t>(chunk.end));
    if (chunk.type == "IHDR") out.insert(out.end(), early.begin(), early.end());
  }
  if (!late_done || to.back().type != "IEND") return damaged;  // not a whole PNG: left alone
  written = std::move(out);
  return damaged;
}

std::string PngProfileName(FREE_IMAGE_FORMAT source_format, const Bytes& source) {
  if (source_format == FIF_PNG) {
    for (const PngChunk& chunk : PngChunks(source)) {
      if (chunk.type != "iCCP") continue;
      const std::string_view name = ChunkKeyword(source, chunk);
      if (IsValidKeyword(name)) return std::string(name);
    }
  }
  return "ICC Profile";
}

bool NamePngProfile(Bytes& png, const std::string& name) {
  for (const PngChunk& chunk : PngChunks(png)) {
    if (chunk.type != "iCCP") continue;
    const std::size_t old_name = ChunkKeyword(png, chunk).size();
    if (old_name == 0 && (chunk.size == 0 || png[chunk.data] != 0)) return false;
    Bytes data(name.begin(), name.end());
    data.insert(data.end(), png.begin() + static_cast<std::ptrdiff_t>(chunk.data + old_name),
                png.begin() + static_cast<std::ptrdiff_t>(chunk.data + chunk.size));
    const Bytes renamed = MakeChunk("iCCP", data);
    png.erase(png.begin() + static_cast<std::ptrdiff_t>(chunk.at),
              png.begin() + static_cast<std::ptrdiff_t>(chunk.end));
    png.insert(png.begin() + static_cast<std::ptrdiff_t>(chunk.at), renamed.begin(), renamed.end());
    return true;
  }
  return false;
}

std::optional<bool> TiffLittleEndian(const Bytes& tiff) {
  if (tiff.size() < 8) return std::nullopt;
  const bool little = tiff[0] == 'I' && tiff[1] == 'I';
  if (!little && !(tiff[0] == 'M' && tiff[1] == 'M')) return std::nullopt;
  if (ReadTiff(tiff, 2, 2, little) != 42) return std::nullopt;
  return little;
}

bool SetTiffEntries(Bytes& tiff, std::vector<TiffEntry> entries) {
  const auto file = ClassicTiff(tiff);
  if (!file) return false;
  const bool le = file->little_endian;
  // The kept entries' values stay where they are: only the directory moves.
  std::vector<std::pair<std::uint16_t, Bytes>> directory;
  for (std::size_t i = 0; i < file->entries; ++i) {
    const std::size_t entry = file->directory + 2 + 12 * i;
    const auto tag = static_cast<std::uint16_t>(ReadTiff(tiff, entry, 2, le));
    if (std::any_of(entries.begin(), entries.end(),
                    [tag](const TiffEntry& e) { return e.tag == tag; })) {
      continue;
    }
    directory.emplace_back(tag, Bytes(tiff.begin() + static_cast<std::ptrdiff_t>(entry),
                                      tiff.begin() + static_cast<std::ptrdiff_t>(entry + 12)));
  }
  const std::uint32_t next = ReadTiff(tiff, file->directory + 2 + 12 * file->entries, 4, le);

  const std::size_t directory_at = tiff.size() + (tiff.size() & 1);
  const std::size_t count = directory.size() + entries.size();
  std::size_t value_at = directory_at + 2 + 12 * count + 4;
  Bytes values;
  for (TiffEntry& e : entries) {
    if (e.value.size() != TypeSize(e.type) * e.count) return false;
    Bytes field;
    PutTiff(field, e.tag, 2, le);
    PutTiff(field, e.type, 2, le);
    PutTiff(field, e.count, 4, le);
    if (e.value.size() <= 4) {
      field.insert(field.end(), e.value.begin(), e.value.end());
      field.resize(12, 0);
    } else {
      PutTiff(field, static_cast<std::uint32_t>(value_at + values.size()), 4, le);
      values.insert(values.end(), e.value.begin(), e.value.end());
      if (values.size() & 1) values.push_back(0);
    }
    directory.emplace_back(e.tag, std::move(field));
  }
  if (value_at + values.size() > std::numeric_limits<std::uint32_t>::max()) return false;
  std::stable_sort(directory.begin(), directory.end(),
                   [](const auto& a, const auto& b) { return a.first < b.first; });

  Bytes out = tiff;
  out.resize(directory_at, 0);
  PutTiff(out, static_cast<std::uint32_t>(count), 2, le);
  for (const auto& entry : directory)
    out.insert(out.end(), entry.second.begin(), entry.second.end());
  PutTiff(out, next, 4, le);
  out.insert(out.end(), values.begin(), values.end());
  Bytes offset;
  PutTiff(offset, static_cast<std::uint32_t>(directory_at), 4, le);
  std::copy(offset.begin(), offset.end(), out.begin() + 4);
  tiff = std::move(out);
  return true;
}

}  // namespace pmk
