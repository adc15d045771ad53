#include "cmd/run_options.h"

#include <cctype>
#include <climits>

#include "platform/utf8_path.h"

namespace pmk::cmd {

int ReadInteger(std::string_view text) noexcept {
  std::size_t i = 0;
  while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i]))) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  long long value = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    value = value * 10 + (text[i] - '0');
    if (value > static_cast<long long>(INT_MAX) + 1) value = static_cast<long long>(INT_MAX) + 1;
  }
  if (negative) value = -value;
  if (value > INT_MAX) return INT_MAX;
  if (value < INT_MIN) return INT_MIN;
  return static_cast<int>(value);
}

RunOptions ParseArguments(std::span<const std::string_view> arguments) {
  RunOptions options;
  const std::size_t count = arguments.size();
  std::size_t i = 0;
  while (i < count) {
    const std::string_view argument = arguments[i];
    const bool has_value = i + 1 < count;
    const std::string_view value = has_value ? arguments[i + 1] : std::string_view();
    // Options that take a value match only when one follows, and only at
    // their first occurrence ("-cores" at every occurrence).
    auto take = [&](bool& seen) {
      if (seen || !has_value) return false;
      seen = true;
      i += 2;
      return true;
    };
    if (argument == "-l" && take(options.has_log)) {
      options.log = value;
    } else if (argument == "-i" && take(options.has_input)) {
      options.input = value;
    } else if (argument == "-o" && take(options.has_output)) {
      options.output = value;
    } else if (argument == "-cores" && has_value) {
      options.has_cores = true;
      options.cores = static_cast<std::uint8_t>(ReadInteger(value) & 0xFF);
      i += 2;
    } else if (argument == "-s" && take(options.has_signature)) {
      options.signature = value;
    } else if (argument == "-v" && !options.verbose) {
      options.verbose = true;
      ++i;
    } else if (argument == "-c" && take(options.has_quality)) {
      const int quality = ReadInteger(value);
      if (quality > 0) options.jpeg_quality = quality;
    } else if (argument == "-robust") {
      options.robust = true;
      ++i;
    } else if (argument == "-web") {
      options.web = true;
      ++i;
    } else {
      ++i;  // unknown token, or an option without its value
    }
  }
  return options;
}

std::string CheckLimits(const RunOptions& options) {
  using platform::NativeNameLength;
  if (NativeNameLength(options.input) > kMaxNameLength) return "The input file name is too long.";
  if (NativeNameLength(options.output) > kMaxNameLength) return "The output file name is too long.";
  if (NativeNameLength(options.log) > kMaxNameLength) return "The log file name is too long.";
  if (options.signature.size() > kMaxSignatureBytes) return "The signature is too long.";
  return "";
}

}  // namespace pmk::cmd
