// Metadata blocks carried as they are, past Exiv2: the parts of a picture
// file that Exiv2 would drop or rewrite on their way into a new file.
//
// Everything here walks containers only (JPEG segments before the first scan,
// PNG chunks, the entries of a TIFF's first directory, the framing of
// Photoshop image resources) and copies bytes; no block is interpreted beyond
// its framing, so a damaged one is refused whole, never half read. Nothing
// here throws except std::bad_alloc.
#pragma once

#include <FreeImage.h>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace pmk {

using Bytes = std::vector<std::uint8_t>;

// ---- What a file holds, found from its container alone.

enum MetadataKind : unsigned {
  kExifKind = 1u << 0,
  kIptcKind = 1u << 1,
  kXmpKind = 1u << 2,
  kExtendedXmpKind = 1u << 3,  // JPEG: the APP1 extension segments of a large packet
  kPhotoshopKind = 1u << 4,    // image resources other than the IPTC record
  kProfileKind = 1u << 5,
  kCommentKind = 1u << 6,
};

// The kinds of metadata `file` (a whole file of `format`) holds: blocks
// present in the container, whatever their content turns out to be.
unsigned MetadataKindsIn(FREE_IMAGE_FORMAT format, const Bytes& file);

// Tags of a TIFF's first directory (the EXIF "Image" group) that describe how
// the file stores its pixels, or point at blocks that travel on their own.
bool IsLayoutTag(std::uint16_t tag);

// ---- JPEG

inline constexpr std::uint8_t kApp1 = 0xE1;
inline constexpr std::uint8_t kApp13 = 0xED;
inline constexpr std::string_view kXmpId{"http://ns.adobe.com/xap/1.0/\0", 29};
inline constexpr std::string_view kExtendedXmpId{"http://ns.adobe.com/xmp/extension/\0", 35};
inline constexpr std::string_view kPhotoshopId{"Photoshop 3.0\0", 14};

// The payloads, without `id`, of the segments `marker` before the first scan
// whose payload starts with `id`, in file order.
std::vector<Bytes> JpegPayloads(const Bytes& jpeg, std::uint8_t marker, std::string_view id);

// Inserts one segment `marker` per payload (each `id` followed by the
// payload; at most 65533 bytes together) after the file's leading
// application segments and comments. False, with `jpeg` unchanged, when its
// segments cannot be walked or a payload is too long.
bool InsertJpegSegments(Bytes& jpeg, std::uint8_t marker, std::string_view id,
                        const std::vector<Bytes>& payloads);

// The Photoshop resource block of a JPEG (its APP13 segments joined), cut into
// payloads that fit segments again.
Bytes JpegResourceBlock(const Bytes& jpeg);
std::vector<Bytes> ResourceSegmentPayloads(const Bytes& block);

// Gives `jpeg` the resolution (unit and densities) of `source`'s JFIF segment,
// when both have one.
void CopyJfifDensity(const Bytes& source, Bytes& jpeg);

// ---- Photoshop image resources

inline constexpr std::uint16_t kIptcResource = 0x0404;

// The resource ids of a block, in order; nothing when the block's framing
// does not hold (a resource running past the end, an unknown signature).
std::optional<std::vector<std::uint16_t>> ResourceIds(const Bytes& block);

// ---- PNG

// The raw XMP packet of an uncompressed iTXt "XML:com.adobe.xmp" chunk;
// empty when there is none.
std::string PngXmpPacket(const Bytes& png);

// Copies into `written` (a PNG just written from `source`'s pixels, both
// 8- or 16-bit grey or colour) what describes `source`'s colours and
// resolution (gAMA, cHRM, sRGB, cICP, pHYs, and bKGD turned into `written`'s
// sample layout) and its text chunks, except those that hold EXIF, IPTC, XMP
// or a profile, which travel through Exiv2, and those whose keyword
// `written` already has. Chunks whose check sum fails stay out. Returns the
// chunk types that were left out for being damaged.
std::vector<std::string> CarryPngChunks(const Bytes& source, Bytes& written);

// A valid PNG profile name: `source`'s iCCP keyword when it has a valid one,
// else "ICC Profile".
std::string PngProfileName(FREE_IMAGE_FORMAT source_format, const Bytes& source);

// Renames the profile of `png`'s iCCP chunk. False when it has none.
bool NamePngProfile(Bytes& png, const std::string& name);

// ---- TIFF

// One directory entry: its value in the file's byte order.
struct TiffEntry {
  std::uint16_t tag = 0;
  std::uint16_t type = 0;
  std::uint32_t count = 0;
  Bytes value;
};

// The byte order of a classic TIFF; nothing for anything else.
std::optional<bool> TiffLittleEndian(const Bytes& tiff);

// Sets `entries` in the first directory of a classic TIFF, replacing entries
// with the same tags. The directory is written anew at the end of the file
// (the old one stays behind, unreferenced). False, with `tiff` unchanged, when
// the directory cannot be walked or the file would pass 4 GiB.
bool SetTiffEntries(Bytes& tiff, std::vector<TiffEntry> entries);

}  // namespace pmk
