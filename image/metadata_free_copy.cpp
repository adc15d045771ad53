#include "image/metadata_free_copy.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace pmk {
namespace {

using Bytes = std::vector<std::uint8_t>;

std::uint32_t BigEndian16(const Bytes& file, std::size_t at) {
  return static_cast<std::uint32_t>(file[at] << 8 | file[at + 1]);
}

std::uint32_t BigEndian32(const Bytes& file, std::size_t at) {
  return static_cast<std::uint32_t>(file[at]) << 24 |
         static_cast<std::uint32_t>(file[at + 1]) << 16 |
         static_cast<std::uint32_t>(file[at + 2]) << 8 | file[at + 3];
}

void Append(Bytes& out, const Bytes& file, std::size_t from, std::size_t to) {
  out.insert(out.end(), file.begin() + static_cast<std::ptrdiff_t>(from),
             file.begin() + static_cast<std::ptrdiff_t>(to));
}

// APP1 holds EXIF and XMP, APP13 the Photoshop resources with IPTC.
bool IsJpegMetadataMarker(std::uint8_t marker) {
  return marker == 0xE1 || marker == 0xED;
}

Bytes JpegWithoutMetadata(const Bytes& file) {
  if (file.size() < 4 || file[0] != 0xFF || file[1] != 0xD8) return file;
  Bytes out(file.begin(), file.begin() + 2);
  out.reserve(file.size());
  std::size_t at = 2;
  while (at + 1 < file.size()) {
    // Bytes between segments are skipped by the decoder too.
    if (file[at] != 0xFF) {
      ++at;
      continue;
    }
    const std::uint8_t marker = file[at + 1];
    if (marker == 0xFF) {  // fill byte
      ++at;
      continue;
    }
    // From the first scan on, the rest is compressed data: copied as it is.
    if (marker == 0xDA || marker == 0xD9) break;
    if (marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7)) {
      Append(out, file, at, at + 2);
      at += 2;
      continue;
    }
    if (at + 4 > file.size()) break;
    const std::size_t end = at + 2 + BigEndian16(file, at + 2);
    if (end > file.size()) {
      if (IsJpegMetadataMarker(marker)) return out;
      break;
    }
    if (!IsJpegMetadataMarker(marker)) Append(out, file, at, end);
    at = end;
  }
  if (at < file.size()) Append(out, file, at, file.size());
  return out;
}

// eXIf holds EXIF; the text chunks hold XMP, IPTC and EXIF as "Raw profile"
// texts, and comments. None of them describes pixels.
bool IsPngMetadataChunk(const std::uint8_t* type) {
  static constexpr std::array<const char*, 4> kTypes = {"eXIf", "tEXt", "zTXt", "iTXt"};
  return std::any_of(kTypes.begin(), kTypes.end(),
                     [type](const char* name) { return std::memcmp(type, name, 4) == 0; });
}

Bytes PngWithoutMetadata(const Bytes& file) {
  constexpr std::size_t kSignatureBytes = 8;
  if (file.size() < kSignatureBytes) return file;
  Bytes out(file.begin(), file.begin() + kSignatureBytes);
  out.reserve(file.size());
  std::size_t at = kSignatureBytes;
  while (at + 8 <= file.size()) {
    const std::uint8_t* type = file.data() + at + 4;
    // Length, type, data and CRC; a length above 2^31 is invalid anyway.
    const std::uint64_t end = std::uint64_t{at} + 12 + BigEndian32(file, at);
    if (end > file.size()) {
      if (IsPngMetadataChunk(type)) return out;
      break;
    }
    if (!IsPngMetadataChunk(type)) Append(out, file, at, static_cast<std::size_t>(end));
    at = static_cast<std::size_t>(end);
  }
  if (at < file.size()) Append(out, file, at, file.size());
  return out;
}

// Byte order and word sizes of a classic or a BigTIFF file.
struct TiffLayout {
  bool little_endian = true;
  std::size_t count_bytes = 2;   // entry count
  std::size_t entry_bytes = 12;  // one directory entry
  std::size_t offset_bytes = 4;  // the next-directory offset
};

std::uint64_t ReadTiff(const Bytes& file, std::size_t at, std::size_t bytes, bool little_endian) {
  std::uint64_t value = 0;
  for (std::size_t i = 0; i < bytes; ++i) {
    const std::uint64_t byte = file[at + (little_endian ? i : bytes - 1 - i)];
    value |= byte << (8 * i);
  }
  return value;
}

void WriteTiff(Bytes& file, std::size_t at, std::size_t bytes, bool little_endian,
               std::uint64_t value) {
  for (std::size_t i = 0; i < bytes; ++i) {
    file[at + (little_endian ? i : bytes - 1 - i)] = static_cast<std::uint8_t>(value >> (8 * i));
  }
}

// Whether the `count` rationals of an entry are all below 2^24 with a
// non-zero denominator: far above any real coefficient, and still exact as a
// float.
bool RationalsPlainlyInRange(const Bytes& file, std::size_t entry, const TiffLayout& layout) {
  const std::size_t field = layout.offset_bytes;
  const std::uint64_t count = ReadTiff(file, entry + 4, field, layout.little_endian);
  if (count == 0 || count > 16) return false;
  const std::size_t value_field = entry + 4 + field;
  const std::uint64_t at =
      count * 8 <= field ? value_field : ReadTiff(file, value_field, field, layout.little_endian);
  if (at > file.size() || (file.size() - at) / 8 < count) return false;
  for (std::uint64_t i = 0; i < count; ++i) {
    const auto value = static_cast<std::size_t>(at + 8 * i);
    const std::uint64_t numerator = ReadTiff(file, value, 4, layout.little_endian);
    const std::uint64_t denominator = ReadTiff(file, value + 4, 4, layout.little_endian);
    if (denominator == 0 || numerator / denominator >= (1u << 24)) return false;
  }
  return true;
}

// The first directory's entries that describe the picture: its size and
// sample layout, compression, strips and tiles, palette, old-style JPEG
// tables, YCbCr layout, page number and the ICC profile. FreeImage reads
// every entry of the first directory as metadata too, with flaws of its own
// (fuzzer findings): it copies a fixed-length text such as DateTime at its
// nominal length from a shorter value, turns rationals into int fractions
// through an unchecked cast, and follows the EXIF, GPS, IPTC, XMP and GeoTIFF
// entries into their parsers. So every other entry stays out of the copy.
bool DescribesPicture(std::uint64_t tag) {
  static constexpr std::array<std::uint16_t, 53> kPictureTags = {
      254, 255, 256, 257, 258, 259, 262,   263,   264,   265,   266,  273, 274, 277,
      278, 279, 280, 281, 284, 292, 293,   297,   317,   320,   322,  323, 324, 325,
      332, 334, 338, 339, 340, 341, 347,   512,   513,   514,   515,  517, 518, 519,
      520, 521, 529, 530, 531, 532, 32995, 32996, 32997, 32998, 34675};
  return std::find(kPictureTags.begin(), kPictureTags.end(), tag) != kPictureTags.end();
}

// Of those, the YCbCr coefficients and the reference black and white are
// rationals: they stay only when their values are plainly in range.
bool KeptInCopy(const Bytes& file, std::size_t entry, const TiffLayout& layout) {
  const std::uint64_t tag = ReadTiff(file, entry, 2, layout.little_endian);
  if (!DescribesPicture(tag)) return false;
  if (tag != 529 && tag != 532) return true;
  constexpr std::uint64_t kRational = 5;
  return ReadTiff(file, entry + 2, 2, layout.little_endian) == kRational &&
         RationalsPlainlyInRange(file, entry, layout);
}

Bytes TiffWithoutMetadata(const Bytes& file) {
  if (file.size() < 8) return {};
  TiffLayout layout;
  if (file[0] == 'I' && file[1] == 'I') {
    layout.little_endian = true;
  } else if (file[0] == 'M' && file[1] == 'M') {
    layout.little_endian = false;
  } else {
    return {};
  }
  const std::uint64_t version = ReadTiff(file, 2, 2, layout.little_endian);
  std::uint64_t directory = 0;
  if (version == 42) {
    directory = ReadTiff(file, 4, 4, layout.little_endian);
  } else if (version == 43 && file.size() >= 16) {
    layout = {layout.little_endian, 8, 20, 8};
    directory = ReadTiff(file, 8, 8, layout.little_endian);
  } else {
    return {};
  }
  // A first directory that does not fit is a file no decoder reads.
  if (directory > file.size() ||
      file.size() - directory < layout.count_bytes + layout.offset_bytes) {
    return {};
  }
  const auto start = static_cast<std::size_t>(directory);
  const std::uint64_t entries = ReadTiff(file, start, layout.count_bytes, layout.little_endian);
  const std::size_t first_entry = start + layout.count_bytes;
  if (entries > (file.size() - first_entry - layout.offset_bytes) / layout.entry_bytes) return {};

  Bytes out = file;
  std::size_t kept = 0;
  for (std::uint64_t i = 0; i < entries; ++i) {
    const std::size_t entry = first_entry + static_cast<std::size_t>(i) * layout.entry_bytes;
    if (!KeptInCopy(file, entry, layout)) continue;
    std::memcpy(out.data() + first_entry + kept * layout.entry_bytes, file.data() + entry,
                layout.entry_bytes);
    ++kept;
  }
  if (kept == entries) return out;
  // The directory shrinks in place: fewer entries, then the next-directory
  // offset right after them, and zeros where the removed entries were.
  const std::size_t next_at = first_entry + static_cast<std::size_t>(entries) * layout.entry_bytes;
  const std::size_t new_next_at = first_entry + kept * layout.entry_bytes;
  std::memmove(out.data() + new_next_at, file.data() + next_at, layout.offset_bytes);
  std::fill(out.begin() + static_cast<std::ptrdiff_t>(new_next_at + layout.offset_bytes),
            out.begin() + static_cast<std::ptrdiff_t>(next_at + layout.offset_bytes), 0);
  WriteTiff(out, start, layout.count_bytes, layout.little_endian, kept);
  return out;
}

}  // namespace

std::vector<std::uint8_t> WithoutMetadataBlocks(FREE_IMAGE_FORMAT format,
                                                const std::vector<std::uint8_t>& file) {
  switch (format) {
    case FIF_JPEG:
      return JpegWithoutMetadata(file);
    case FIF_PNG:
      return PngWithoutMetadata(file);
    case FIF_TIFF:
      return TiffWithoutMetadata(file);
    default:
      return file;
  }
}

}  // namespace pmk
