#include "image/safe_output.h"

#include <cerrno>
#include <cstring>
#include <system_error>

#include "image/image_files.h"
#include "platform/process_id.h"
#include "platform/utf8_path.h"

namespace pmk {
namespace {

// Removes the temporary file on every path that does not rename it.
class TemporaryFile {
 public:
  explicit TemporaryFile(std::filesystem::path path) : path_(std::move(path)) {}
  TemporaryFile(const TemporaryFile&) = delete;
  TemporaryFile& operator=(const TemporaryFile&) = delete;
  ~TemporaryFile() {
    if (!path_.empty()) {
      std::error_code ignored;
      std::filesystem::remove(path_, ignored);
    }
  }
  const std::filesystem::path& path() const { return path_; }
  void Keep() { path_.clear(); }

 private:
  std::filesystem::path path_;
};

}  // namespace

std::filesystem::path TemporaryNameFor(const std::filesystem::path& destination) {
  std::filesystem::path temporary =
      destination.parent_path() / (".pmk-" + std::to_string(platform::ProcessId()) + "-");
  temporary += destination.filename();
  return temporary;
}

namespace {

// Writes through `save` (a SaveImage) to a temporary beside `destination`,
// then puts it in the destination's place.
template <class Save>
std::string Replace(const std::filesystem::path& destination, Save save) {
  TemporaryFile temporary(TemporaryNameFor(destination));
  errno = 0;
  const bool saved = save(temporary.path());
  const int reason = errno;
  if (!saved || !std::filesystem::exists(temporary.path())) {
    return "cannot write " + platform::Utf8FromPath(destination) + ": " +
           (reason != 0 ? std::strerror(reason) : "the picture could not be encoded");
  }
  std::error_code error;
  std::filesystem::rename(temporary.path(), destination, error);
  if (error)
    return "cannot replace " + platform::Utf8FromPath(destination) + ": " + error.message();
  temporary.Keep();
  return "";
}

}  // namespace

std::string SaveReplacing(const ImageRecord& colour, const ImageRecord& alpha,
                          const std::filesystem::path& destination,
                          const std::filesystem::path& metadata_source, int jpeg_quality,
                          MetadataNotices* notices) {
  return Replace(destination, [&](const std::filesystem::path& temporary) {
    return SaveImage(colour, alpha, temporary, metadata_source, jpeg_quality, notices);
  });
}

std::string SaveReplacing(ImageRecord&& colour, const ImageRecord& alpha,
                          const std::filesystem::path& destination,
                          const std::filesystem::path& metadata_source, int jpeg_quality,
                          MetadataNotices* notices) {
  return Replace(destination, [&](const std::filesystem::path& temporary) {
    return SaveImage(std::move(colour), alpha, temporary, metadata_source, jpeg_quality, notices);
  });
}

}  // namespace pmk
