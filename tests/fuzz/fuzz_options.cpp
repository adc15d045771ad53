// PMKCmd's command line from arbitrary bytes: the input is split at NUL bytes
// (which no real argument can hold) into the program's path and its
// arguments, then parsed, checked against the buffer limits and resolved
// the way a run does.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "cmd/bare_names.h"
#include "cmd/run_options.h"
#include "cmd/sign_and_verify.h"
#include "engine/engine.h"

namespace {

void Require(bool condition) {
  if (!condition) std::abort();
}

std::vector<std::string_view> SplitAtNul(const std::uint8_t* data, std::size_t size) {
  std::vector<std::string_view> pieces;
  const auto* text = reinterpret_cast<const char*>(data);
  std::size_t start = 0;
  for (std::size_t i = 0; i <= size; ++i) {
    if (i == size || text[i] == '\0') {
      pieces.emplace_back(text + start, i - start);
      start = i + 1;
    }
  }
  return pieces;
}

void CheckResolved(const std::string& name, const std::string& executable) {
  const std::optional<std::string> resolved = pmk::cmd::ResolveBareName(name, executable);
  if (!pmk::cmd::IsBareName(name) || executable.find('/') == std::string::npos) {
    Require(resolved.has_value() && *resolved == name);
    return;
  }
  if (!resolved) return;
  Require(resolved->size() <= pmk::cmd::kMaxJoinedNameLength);
  Require(resolved->size() >= name.size());
  Require(resolved->compare(resolved->size() - name.size(), name.size(), name) == 0);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::vector<std::string_view> pieces = SplitAtNul(data, size);
  const std::string executable(pieces.front());
  const std::vector<std::string_view> arguments(pieces.begin() + 1, pieces.end());

  const pmk::cmd::RunOptions options = pmk::cmd::ParseArguments(arguments);
  Require(options.jpeg_quality > 0);
  Require(options.has_quality || options.jpeg_quality == pmk::cmd::kDefaultJpegQuality);
  Require(options.has_input || options.input.empty());
  Require(options.has_output || options.output.empty());
  Require(options.has_signature || options.signature.empty());
  Require(options.has_log || options.log.empty());
  Require(options.has_cores || options.cores == 1);

  const bool within = options.input.size() <= pmk::cmd::kMaxNameLength &&
                      options.output.size() <= pmk::cmd::kMaxNameLength &&
                      options.log.size() <= pmk::cmd::kMaxNameLength &&
                      options.signature.size() <= pmk::cmd::kMaxSignatureBytes;
  Require(pmk::cmd::CheckLimits(options).empty() == within);
  if (!within) return 0;

  CheckResolved(options.input, executable);
  CheckResolved(options.output, executable);

  const std::string payload = pmk::FormatPayload(options.signature).c_str();
  Require(payload.rfind("signSIGN", 0) == 0);
  Require(payload.size() <= pmk::kPayloadSignatureStart + pmk::kSignatureSymbolCount);
  return 0;
}
