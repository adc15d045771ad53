// Small helpers over FreeImage bitmaps shared by both reader/writer pairs.
#pragma once

#include <FreeImage.h>

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace pmk {

struct BitmapUnloader {
  void operator()(FIBITMAP* bitmap) const noexcept { FreeImage_Unload(bitmap); }
};
using BitmapHandle = std::unique_ptr<FIBITMAP, BitmapUnloader>;

// Files are opened here, never by the library's calls that take a name: when
// such a call cannot open its file it copies the name into a fixed 512-byte
// message, which overflows for long names; and its save never checks that
// closing the file wrote the last block. False when the file cannot be read
// whole (or is above 4 GiB, more than the library's memory streams hold).
bool ReadWholeFile(const std::filesystem::path& file, std::vector<std::uint8_t>& bytes) noexcept;

// Decodes a file's bytes after removing their EXIF, IPTC and XMP blocks
// (metadata_free_copy.h), so that none of FreeImage's metadata readers ever
// runs. Every picture the system decodes goes through here.
BitmapHandle DecodeWithoutMetadata(FREE_IMAGE_FORMAT format, const std::vector<std::uint8_t>& file,
                                   int flags) noexcept;

// Reads and decodes a whole picture file; null when it cannot be read, when
// its header claims more than kMaxLoadPixels (checked before the pixels are
// decoded, so a forged header cannot make the reader allocate gigabytes), and
// when a JPEG ends before its last scan: the decoder would fill the rest with
// grey and call it a picture; and when FreeImage's TIFF loader would read past
// the file's rows (tiff_strip_guard.h).
BitmapHandle LoadPictureFile(FREE_IMAGE_FORMAT format, const std::filesystem::path& file,
                             int flags) noexcept;

// Reads a metadata source whole and checks that it is a picture the system
// reads. Throws UnsupportedImageFormat (message: the source's name) when its
// format is not one the system reads, and ImageReadError (message: the
// source's name when `read_error_names_source`, else empty) when it cannot be
// read or its header cannot be decoded.
std::vector<std::uint8_t> ReadMetadataSource(const std::filesystem::path& source,
                                             bool read_error_names_source);

// Encodes `bitmap` in memory, carries the metadata of `metadata_source` (a
// whole file; empty for none) into the encoded bytes, and writes them to
// `file`. The library's encoders do not clean up after a failed write (the
// JPEG encoder loses its row buffer), and a write that can only fail here is
// one that can be checked completely. False when encoding, or any write,
// flush or close failed; a file cut short is removed. Metadata that could not
// be carried does not stop the write: `metadata_fault` says why.
bool SaveToFile(FREE_IMAGE_FORMAT format, FIBITMAP* bitmap, const std::filesystem::path& file,
                int flags, const std::vector<std::uint8_t>& metadata_source,
                std::string& metadata_fault) noexcept;

}  // namespace pmk
