// The copy of a picture file that FreeImage is allowed to decode: the same
// bytes without their EXIF, IPTC and XMP blocks.
//
// FreeImage's metadata readers carry published memory-safety flaws (its EXIF
// and IPTC parsers, and a use after free of the ICC profile when its TIFF
// reader follows the EXIF directory), and every picture the system opens is
// untrusted. The blocks are removed by walking only the container (JPEG
// segments, PNG chunks, the entries of the first TIFF directory), never the
// blocks themselves, so damaged metadata cannot mislead the removal. What
// describes the pixels stays: JPEG tables, frames and Adobe colour-transform
// markers, PNG image chunks, the TIFF entries that describe the picture, and
// the ICC profile. Every other entry of a TIFF's first directory goes too
// (metadata_free_copy.cpp says why).
#pragma once

#include <FreeImage.h>

#include <cstdint>
#include <vector>

namespace pmk {

// Returns the decodable copy of a file of `format`. BMP holds no metadata and
// comes back unchanged. A JPEG or TIFF container that breaks off before its
// picture data comes back cut at the break, so the decoder fails on it as it
// would have on the original.
std::vector<std::uint8_t> WithoutMetadataBlocks(FREE_IMAGE_FORMAT format,
                                                const std::vector<std::uint8_t>& file);

}  // namespace pmk
