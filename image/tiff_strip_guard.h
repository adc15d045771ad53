// A TIFF layout that FreeImage's generic strip loader reads past the end of.
//
// That loader (grey and RGB pictures of 16 bits and more, and pictures with
// extra samples) copies a row pixel by pixel when the file's pixels are wider
// than the bitmap's, and does so over the whole padded row of the bitmap:
// whenever the padding holds a pixel, it reads a file pixel beyond the row,
// and beyond its strip buffer on the strip's last row (CVE-2024-28566, found
// again by the fuzz targets). The loader never reports it.
#pragma once

#include <FreeImage.h>

#include <cstdint>
#include <vector>

namespace pmk {

// True when FreeImage's generic strip loader would read past a row of `file`
// (a TIFF, as FreeImage will decode it) into `header` (its header, decoded
// without pixels), or would never finish the row; also when libtiff cannot
// read the file's layout, and when it would copy pixel by pixel from a file
// of more than four samples a pixel. False for every other layout, and for
// TIFFs that another of FreeImage's loaders reads.
bool TiffRowsOverrunInFreeImage(const std::vector<std::uint8_t>& file, FIBITMAP* header) noexcept;

}  // namespace pmk
