// Where a run's one message goes: the log file when "-l" was given, else
// standard output.
//
// Batch jobs run many PMKCmd processes at once on one log. A log line is made
// of pieces (the header with the file names, then the message), so the stream
// gathers them and hands each finished line (up to and including its last line
// break) to the system in a single write on a file opened for appending:
// lines of concurrent runs never interleave within a line.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>

#include "platform/append_file.h"

namespace pmk::cmd {

class MessageStream {
 public:
  MessageStream() = default;
  MessageStream(const MessageStream&) = delete;
  MessageStream& operator=(const MessageStream&) = delete;
  ~MessageStream() { Close(); }

  // Opens `log_name` (UTF-8) for appending. When it cannot be opened, messages go to
  // standard output instead and a one-line notice says so on standard error.
  void OpenLog(const std::string& log_name);

  // On a log, text without a line break waits for the rest of its line.
  void Write(std::string_view text);
  // Writes what still waits for its line break, then closes the log.
  void Close();

  bool IsLog() const { return log_.IsOpen(); }

 private:
  void AppendToLog(std::string_view text);

  platform::AppendFile log_;
  std::string pending_;
};

}  // namespace pmk::cmd
