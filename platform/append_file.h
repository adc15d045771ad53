// A file that several processes append lines to at once, such as the log of
// a batch job.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

namespace pmk::platform {

class AppendFile {
 public:
  AppendFile() = default;
  AppendFile(const AppendFile&) = delete;
  AppendFile& operator=(const AppendFile&) = delete;
  ~AppendFile() { Close(); }

  // Opens (creating) `file` for appending; on failure the reason, and the
  // file stays closed.
  std::string Open(const std::filesystem::path& file);
  bool IsOpen() const noexcept { return handle_ != kClosed; }

  // Writes `text` at the end of the file as one write, so that it never
  // interleaves with another process's text; a short write is continued.
  // On failure the reason, else empty.
  std::string Append(std::string_view text);

  void Close() noexcept;

 private:
  static constexpr std::intptr_t kClosed = -1;
  // A descriptor, or a Windows handle.
  std::intptr_t handle_ = kClosed;
};

}  // namespace pmk::platform
