// The plug-in's picture files: everything arrives as 8-bit colour, with any
// transparency kept interleaved as a fourth channel (blue, green, red, alpha).
#pragma once

#include <filesystem>

#include "image/image_files.h"
#include "image/image_record.h"

namespace pmk {

// Loads `name` into `picture` (3 or 4 channels of 8 bits). Returns true when
// the library had to convert the picture to get there (palette, greyscale,
// 16-bit). Throws UnsupportedImageFormat for a format the system does not
// read (GIF included), ImageReadError when the file cannot be loaded, and
// FreeImageOperationFailure when no buffer can be had. `picture` is only
// changed on success.
bool LoadPluginImage(const std::filesystem::path& name, ImageRecord& picture);

enum class PluginFileFormat { kFromName, kBmp, kJpeg, kPng, kTiff };

// Writes a 3- or 4-channel 8-bit picture as it stands (alpha included). Throws
// UnsupportedImageFormat when the format cannot be written (GIF, unknown) and
// ImageReadError (message: the source's name) when the metadata source cannot
// be loaded; nothing is written then. Returns whether the library wrote the
// file. Metadata that could not be carried is told in `notices`, as for
// SaveImage.
bool SavePluginImage(const ImageRecord& picture, const std::filesystem::path& name,
                     PluginFileFormat format, const std::filesystem::path& metadata_source,
                     int jpeg_quality, MetadataNotices* notices = nullptr);

}  // namespace pmk
