// Writing the signed picture so that a failure never leaves a truncated file
// or destroys an existing one: the picture goes to a temporary file in the
// destination folder and replaces the destination only once it is complete.
#pragma once

#include <filesystem>
#include <string>

#include "image/image_record.h"
#include "image/metadata_carry.h"

namespace pmk {

// Saves through SaveImage (its exceptions pass through, leaving nothing
// behind). Returns an empty string on success, else why the file could not
// be written. Metadata of the source that could not be carried is told in
// `notices`.
std::string SaveReplacing(const ImageRecord& colour, const ImageRecord& alpha,
                          const std::filesystem::path& destination,
                          const std::filesystem::path& metadata_source, int jpeg_quality,
                          MetadataNotices* notices = nullptr);
// The same for a picture the caller gives up (SaveImage's overload for it):
// `colour` ends empty.
std::string SaveReplacing(ImageRecord&& colour, const ImageRecord& alpha,
                          const std::filesystem::path& destination,
                          const std::filesystem::path& metadata_source, int jpeg_quality,
                          MetadataNotices* notices = nullptr);

// The temporary name used for `destination`: same folder and extension, so the
// format chosen from the name is the same.
std::filesystem::path TemporaryNameFor(const std::filesystem::path& destination);

}  // namespace pmk
