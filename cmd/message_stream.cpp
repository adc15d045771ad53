#include "cmd/message_stream.h"

#include <cerrno>
#include <cstring>

namespace pmk::cmd {

void MessageStream::OpenLog(const std::string& log_name) {
  Close();
  log_ = std::fopen(log_name.c_str(), "a");
  if (log_ == nullptr) {
    std::fprintf(stderr, "Cannot open the log file %s (%s); messages go to standard output.\n",
                 log_name.c_str(), std::strerror(errno));
  }
}

void MessageStream::Write(std::string_view text) {
  std::FILE* stream = log_ != nullptr ? log_ : stdout;
  std::fwrite(text.data(), 1, text.size(), stream);
  std::fflush(stream);
}

void MessageStream::Close() {
  if (log_ != nullptr) std::fclose(log_);
  log_ = nullptr;
}

}  // namespace pmk::cmd
