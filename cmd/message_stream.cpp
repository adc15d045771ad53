#include "cmd/message_stream.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace pmk::cmd {

void MessageStream::OpenLog(const std::string& log_name) {
  Close();
  log_ = ::open(log_name.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0666);
  if (log_ < 0) {
    std::fprintf(stderr, "Cannot open the log file %s (%s); messages go to standard output.\n",
                 log_name.c_str(), std::strerror(errno));
  }
}

void MessageStream::Write(std::string_view text) {
  if (log_ < 0) {
    std::fwrite(text.data(), 1, text.size(), stdout);
    std::fflush(stdout);
    return;
  }
  pending_.append(text);
  const std::size_t line_end = pending_.rfind('\n');
  if (line_end == std::string::npos) return;
  AppendToLog(std::string_view(pending_).substr(0, line_end + 1));
  pending_.erase(0, line_end + 1);
}

// O_APPEND moves to the end and writes as one step, so a whole line from one
// write never mixes with another process's line. A short write (disk full,
// size limit) is continued rather than dropped.
void MessageStream::AppendToLog(std::string_view text) {
  while (!text.empty()) {
    const ssize_t written = ::write(log_, text.data(), text.size());
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) {
      std::fprintf(stderr, "Cannot write to the log file (%s).\n", std::strerror(errno));
      return;
    }
    text.remove_prefix(static_cast<std::size_t>(written));
  }
}

void MessageStream::Close() {
  if (log_ < 0) return;
  if (!pending_.empty()) AppendToLog(pending_);
  pending_.clear();
  ::close(log_);
  log_ = -1;
}

}  // namespace pmk::cmd
