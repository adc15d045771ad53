// Small helpers over FreeImage bitmaps shared by both reader/writer pairs.
#pragma once

#include <FreeImage.h>

#include <memory>
#include <string>

namespace pmk {

struct BitmapUnloader {
  void operator()(FIBITMAP* bitmap) const noexcept { FreeImage_Unload(bitmap); }
};
using BitmapHandle = std::unique_ptr<FIBITMAP, BitmapUnloader>;

// Opening files is left to these two, never to the library's calls that take a
// name: when such a call cannot open its file it copies the name into a
// fixed 512-byte message, which overflows for long names; and its save never
// checks that closing the file wrote the last block.
BitmapHandle LoadFromFile(FREE_IMAGE_FORMAT format, const std::string& file, int flags) noexcept;
// False when the library failed or any write, flush or close did; a file cut
// short is removed.
bool SaveToFile(FREE_IMAGE_FORMAT format, FIBITMAP* bitmap, const std::string& file,
                int flags) noexcept;

// Loads a whole picture; null when the library cannot, and also when a JPEG
// ends before its last scan: the decoder would fill the rest with grey and
// call it a picture.
BitmapHandle LoadBitmap(FREE_IMAGE_FORMAT format, const std::string& file, int flags) noexcept;

// Reads only the file's header and says whether the picture is small enough
// to load (see kMaxLoadPixels). False when the header cannot be read.
bool HeaderWithinLimit(FREE_IMAGE_FORMAT format, const std::string& file) noexcept;

// Copies the metadata and the ICC profile of `source` into `target`. Throws
// UnsupportedImageFormat (message: the source's name) when the source is not
// a format the system reads, and ImageReadError (message: the source's name
// when `read_error_names_source`, else empty) when it cannot be loaded.
void CopyMetadataFrom(const std::string& source, FIBITMAP* target, bool read_error_names_source);

}  // namespace pmk
