#include "image/safe_output.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <system_error>

#include "image/image_files.h"

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
  const std::string prefix = ".pmk-" + std::to_string(::getpid()) + "-";
  return destination.parent_path() / (prefix + destination.filename().string());
}

std::string SaveReplacing(const ImageRecord& colour, const ImageRecord& alpha,
                          const std::filesystem::path& destination,
                          const std::filesystem::path& metadata_source, int jpeg_quality,
                          MetadataNotices* notices) {
  TemporaryFile temporary(TemporaryNameFor(destination));
  errno = 0;
  const bool saved =
      SaveImage(colour, alpha, temporary.path(), metadata_source, jpeg_quality, notices);
  const int reason = errno;
  if (!saved || !std::filesystem::exists(temporary.path())) {
    return "cannot write " + destination.string() + ": " +
           (reason != 0 ? std::strerror(reason) : "the picture could not be encoded");
  }
  std::error_code error;
  std::filesystem::rename(temporary.path(), destination, error);
  if (error) return "cannot replace " + destination.string() + ": " + error.message();
  temporary.Keep();
  return "";
}

}  // namespace pmk
