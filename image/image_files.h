// Reading and writing picture files through FreeImage.
//
// Files are read into blue-green-red ImageRecords with any alpha split into a
// record of its own; 16-bit pictures keep their depth. Only BMP, JPEG, PNG and
// TIFF files are read, whatever else FreeImage could decode. Writing takes the
// format from the name's extension and carries the metadata and ICC profile of
// a source file over into the new file. Names are UTF-8.
//
// Failures in the image layer. Only the writers (SaveImage, SavePluginImage)
// and the plug-in's reader (LoadPluginImage) throw, and only the three
// exceptions below. Everything else returns: the record and checked
// allocations give 6 (image/result_codes.h) or false, with the record empty or
// unchanged as each says; LoadImage gives false and leaves both records as
// they were. Nothing in this folder prints.
#pragma once

#include <filesystem>
#include <stdexcept>
#include <string>

#include "image/image_record.h"
#include "image/metadata_carry.h"

namespace pmk {

// The format of the destination (or of a metadata source) cannot be written or
// read; for a metadata source the message is its name.
class UnsupportedImageFormat : public std::runtime_error {
 public:
  explicit UnsupportedImageFormat(const std::string& what = "") : std::runtime_error(what) {}
};

// The metadata source could not be loaded.
class ImageReadError : public std::runtime_error {
 public:
  explicit ImageReadError(const std::string& what = "") : std::runtime_error(what) {}
};

// The plug-in's reader could not obtain a picture buffer.
class FreeImageOperationFailure : public std::runtime_error {
 public:
  explicit FreeImageOperationFailure(const std::string& what = "") : std::runtime_error(what) {}
};

// Pictures above this many pixels are refused as a failed load: nothing
// larger can be searched at any scale, and a forged header must not make the
// reader allocate gigabytes.
inline constexpr long long kMaxLoadPixels = 250'000'000;

// Loads `name` into `colour` (1 or 3 channels, 8 or 16 bits, blue-green-red)
// and, when the picture has alpha, `alpha`. Never throws; on failure both
// records are left as they were and false is returned.
bool LoadImage(const std::filesystem::path& name, ImageRecord& colour, ImageRecord& alpha) noexcept;

// Writes `colour` (with `alpha` for PNG and TIFF) to `name`. The format follows
// the extension; `metadata_source`, when not empty, gives the metadata and ICC
// profile to carry over (read by Exiv2, never by FreeImage). JPEG quality
// below 1 means 95. Returns false for an empty colour record, and when the
// file could not be encoded or written; throws UnsupportedImageFormat or
// ImageReadError as described above, writing nothing. Damaged metadata in
// the source does not stop the write: what could be read is carried, and a
// line saying what was left out goes to `notices` when given.
bool SaveImage(const ImageRecord& colour, const ImageRecord& alpha,
               const std::filesystem::path& name, const std::filesystem::path& metadata_source,
               int jpeg_quality, MetadataNotices* notices = nullptr);

// The same for a picture its caller gives up, written byte for byte as above.
// The encoder reads 8-bit colour straight from the record's buffer where it
// can, rather than from a whole copy; `colour` ends empty in every case,
// exceptions included.
bool SaveImage(ImageRecord&& colour, const ImageRecord& alpha, const std::filesystem::path& name,
               const std::filesystem::path& metadata_source, int jpeg_quality,
               MetadataNotices* notices = nullptr);

// The notice line for metadata of `source` that could not be carried;
// `left_out` names it (CarryMetadata).
std::string MetadataNotice(const std::string& source, const std::string& left_out);

}  // namespace pmk
