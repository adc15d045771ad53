// Where a run's one message goes: the log file when "-l" was given, else
// standard output.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>

namespace pmk::cmd {

class MessageStream {
 public:
  MessageStream() = default;
  MessageStream(const MessageStream&) = delete;
  MessageStream& operator=(const MessageStream&) = delete;
  ~MessageStream() { Close(); }

  // Opens `log_name` for appending. When it cannot be opened, messages go to
  // standard output instead and a one-line notice says so on standard error.
  void OpenLog(const std::string& log_name);

  void Write(std::string_view text);
  void Close();

  bool IsLog() const { return log_ != nullptr; }

 private:
  std::FILE* log_ = nullptr;
};

}  // namespace pmk::cmd
