// The command line of PMKCmd: what it asks for, read by the program's rules.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace pmk::cmd {

// Buffer limits of the command line (characters, terminator excluded). Names
// count as the system counts file names: UTF-16 units on Windows, bytes
// elsewhere; the signature counts bytes.
inline constexpr std::size_t kMaxNameLength = 2047;
inline constexpr std::size_t kMaxSignatureBytes = 199;
inline constexpr std::size_t kMaxJoinedNameLength = 1023;
inline constexpr int kDefaultJpegQuality = 95;

struct RunOptions {
  std::string input;
  std::string output;
  std::string log;
  std::string signature;
  bool verbose = false;
  int jpeg_quality = kDefaultJpegQuality;
  bool has_log = false;
  bool has_input = false;
  bool has_output = false;
  bool has_signature = false;
  bool has_quality = false;
  // Set whenever "-cores" was read; the last occurrence wins.
  bool has_cores = false;
  std::uint8_t cores = 1;
  // "-robust": sign with larger regions. Not in the usage text, which stays
  // as callers know it; older programs skip the token as unknown.
  bool robust = false;
  // "-web": also sign the web layer, which survives shrinking for the web.
  // Left out of the usage text for the same reason as "-robust".
  bool web = false;
};

// Reads a decimal integer the way atoi does: leading blanks, an optional
// sign, digits up to the first non-digit; no digits give 0. Values beyond the
// range of int saturate instead of overflowing.
int ReadInteger(std::string_view text) noexcept;

// Walks the arguments (program name excluded) by the first-match and
// last-wins rules. Values are taken as they stand, even when they begin
// with "-".
RunOptions ParseArguments(std::span<const std::string_view> arguments);

// Why the options cannot be used as given (a name or signature longer than
// its buffer); empty when they can.
std::string CheckLimits(const RunOptions& options);

}  // namespace pmk::cmd
