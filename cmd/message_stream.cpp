#include "cmd/message_stream.h"

#include "platform/utf8_path.h"

namespace pmk::cmd {

void MessageStream::OpenLog(const std::string& log_name) {
  Close();
  const std::string failure = log_.Open(platform::PathFromUtf8(log_name));
  if (!failure.empty()) {
    std::fprintf(stderr, "Cannot open the log file %s (%s); messages go to standard output.\n",
                 log_name.c_str(), failure.c_str());
  }
}

void MessageStream::Write(std::string_view text) {
  if (!log_.IsOpen()) {
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

// A short write (disk full, size limit) is continued rather than dropped.
void MessageStream::AppendToLog(std::string_view text) {
  const std::string failure = log_.Append(text);
  if (!failure.empty())
    std::fprintf(stderr, "Cannot write to the log file (%s).\n", failure.c_str());
}

void MessageStream::Close() {
  if (!log_.IsOpen()) return;
  if (!pending_.empty()) AppendToLog(pending_);
  pending_.clear();
  log_.Close();
}

}  // namespace pmk::cmd
