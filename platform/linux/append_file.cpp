#include "platform/append_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace pmk::platform {

std::string AppendFile::Open(const std::filesystem::path& file) {
  Close();
  const int descriptor = ::open(file.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0666);
  if (descriptor < 0) return std::strerror(errno);
  handle_ = descriptor;
  return {};
}

// O_APPEND moves to the end and writes as one step.
std::string AppendFile::Append(std::string_view text) {
  while (!text.empty()) {
    const ssize_t written = ::write(static_cast<int>(handle_), text.data(), text.size());
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return written < 0 ? std::strerror(errno) : "nothing was written";
    text.remove_prefix(static_cast<std::size_t>(written));
  }
  return {};
}

void AppendFile::Close() noexcept {
  if (handle_ != kClosed) ::close(static_cast<int>(handle_));
  handle_ = kClosed;
}

}  // namespace pmk::platform
