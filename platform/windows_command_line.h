// A Windows program receives one command line, not an argument vector, and
// splits it itself (CommandLineToArgvW and the C runtime share the rules).
// These build a line that splits back into exactly the arguments given. Pure
// text work, so the rules are checked on every system.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace pmk::platform {

// `argument` as it must appear on a command line: unchanged when it holds no
// blank, tab, newline or quote and is not empty; otherwise in quotes, with
// each quote escaped and the backslashes before a quote (or before the
// closing quote) doubled. Works on UTF-8 and on UTF-16 text alike.
std::string QuoteWindowsArgument(std::string_view argument);
std::wstring QuoteWindowsArgument(std::wstring_view argument);

// The program and its arguments quoted and joined by single blanks. The
// program's own name is split without escapes, but a file name holds neither
// quotes nor a trailing backslash, so quoting it like the rest reads the same.
std::string JoinWindowsCommandLine(std::string_view program,
                                   const std::vector<std::string>& arguments);

}  // namespace pmk::platform
