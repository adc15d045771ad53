// Carrying a source file's camera data and colour profile into a newly
// encoded file, with Exiv2.
//
// FreeImage encodes the pixels; this copies EXIF, IPTC, XMP (the packet byte
// for byte, also one Exiv2 cannot parse), the JPEG comment and the ICC profile
// (byte for byte) of the source into the encoded bytes. Within a format it
// also carries what only that format holds: JPEG's whole Photoshop resource
// block and extended XMP, TIFF's Photoshop resources, PNG's colour,
// resolution and text chunks (metadata_blocks.h). Tags that describe the
// source file's own layout (dimensions, strips, tiles, compression, bits per
// sample, page number, the thumbnail's position) are not copied: the written
// file has its own.
#pragma once

#include <FreeImage.h>

#include <cstdint>
#include <string>
#include <vector>

namespace pmk {

// One line each about metadata that could not be carried, for the program to
// show (MetadataNotice); the picture itself is written regardless.
using MetadataNotices = std::vector<std::string>;

// Copies the metadata of `source` (a whole JPEG, PNG, TIFF or BMP file) into
// `encoded` (a whole file of `format`, `width` x `height` pixels). Never
// throws: what cannot be read or written is left out, `encoded` keeps at least
// its pixels, and the returned text names what of the source's metadata that
// `format` could hold was left out ("the ICC profile (...), part of the EXIF
// data"; empty when everything was carried). A BMP has no place for metadata
// and is left alone.
std::string CarryMetadata(const std::vector<std::uint8_t>& source, FREE_IMAGE_FORMAT format,
                          std::int32_t width, std::int32_t height,
                          std::vector<std::uint8_t>& encoded) noexcept;

}  // namespace pmk
