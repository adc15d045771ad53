#include "platform/windows_command_line.h"

namespace pmk::platform {
namespace {

template <typename Char>
bool NeedsQuotes(std::basic_string_view<Char> argument) {
  if (argument.empty()) return true;
  for (const Char c : argument) {
    if (c == Char(' ') || c == Char('\t') || c == Char('\n') || c == Char('\v') || c == Char('"')) {
      return true;
    }
  }
  return false;
}

// Backslashes are literal unless a quote follows them; then 2n of them stand
// for n, and 2n + 1 for n and a literal quote.
template <typename Char>
std::basic_string<Char> Quote(std::basic_string_view<Char> argument) {
  if (!NeedsQuotes(argument)) return std::basic_string<Char>(argument);
  std::basic_string<Char> quoted(1, Char('"'));
  std::size_t backslashes = 0;
  for (const Char c : argument) {
    if (c == Char('\\')) {
      ++backslashes;
      continue;
    }
    if (c == Char('"')) {
      quoted.append(backslashes * 2 + 1, Char('\\'));
    } else {
      quoted.append(backslashes, Char('\\'));
    }
    backslashes = 0;
    quoted.push_back(c);
  }
  quoted.append(backslashes * 2, Char('\\'));
  quoted.push_back(Char('"'));
  return quoted;
}

}  // namespace

std::string QuoteWindowsArgument(std::string_view argument) {
  return Quote(argument);
}

std::wstring QuoteWindowsArgument(std::wstring_view argument) {
  return Quote(argument);
}

std::string JoinWindowsCommandLine(std::string_view program,
                                   const std::vector<std::string>& arguments) {
  std::string line = QuoteWindowsArgument(program);
  for (const std::string& argument : arguments) {
    line.push_back(' ');
    line += QuoteWindowsArgument(argument);
  }
  return line;
}

}  // namespace pmk::platform
