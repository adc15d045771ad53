// PMKCmd: signs one picture with a short signature, or checks one for it.
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <string>
#include <string_view>
#include <vector>

#include "cmd/bare_names.h"
#include "cmd/message_stream.h"
#include "cmd/run_options.h"
#include "cmd/sign_and_verify.h"
#include "cmd/usage_text.h"
#include "engine/engine.h"
#include "platform/executable_path.h"
#include "platform/program_arguments.h"
#include "platform/utf8_path.h"

namespace {

constexpr int kExitUsage = 11;

void PrintUsage() {
  std::fwrite(pmk::cmd::kUsageText.data(), 1, pmk::cmd::kUsageText.size(), stdout);
  std::fflush(stdout);
}

void WriteLogHeader(const pmk::cmd::RunOptions& options, pmk::cmd::MessageStream& messages) {
  if (!options.has_log || (!options.has_input && !options.has_output)) return;
  std::string header;
  if (options.has_input) header += options.input;
  if (options.has_output) {
    header += " -> " + options.output;
  }
  header += ":";
  messages.Write(header);
}

#ifdef PMK_TEST_SEAMS
// Test seam, compiled only into the test build (CMake option PMK_TEST_SEAMS):
// PMK_TEST_MAX_LANES (4, 8 or 16) caps the engine's vector lanes, so that a
// whole-process measurement can take the narrower paths on a processor with
// wider ones.
void ApplyLaneCap() {
  if (const char* lanes = std::getenv("PMK_TEST_MAX_LANES")) {
    pmk::LimitVectorLanes(std::atoi(lanes));
  }
}
#endif

int Run(int argc, char** argv) {
#ifdef PMK_TEST_SEAMS
  ApplyLaneCap();
#endif
  const std::vector<std::string> utf8_arguments = pmk::platform::Utf8Arguments(argc, argv);
  const std::vector<std::string_view> arguments(
      utf8_arguments.begin() + (utf8_arguments.empty() ? 0 : 1), utf8_arguments.end());
  if (!arguments.empty() && arguments.front() == "-h") {
    PrintUsage();
    return 0;
  }
  const pmk::cmd::RunOptions options = pmk::cmd::ParseArguments(arguments);
  if (const std::string refusal = pmk::cmd::CheckLimits(options); !refusal.empty()) {
    std::fprintf(stderr, "PMKCmd: %s\n", refusal.c_str());
    return 1;
  }

  pmk::cmd::MessageStream messages;
  if (options.has_log) messages.OpenLog(options.log);
  WriteLogHeader(options, messages);

  const std::string executable = pmk::platform::Utf8FromPath(pmk::platform::ExecutablePath());
  const auto input = pmk::cmd::ResolveBareName(options.input, executable);
  const auto output = pmk::cmd::ResolveBareName(options.output, executable);
  if (!input || !output) {
    std::fprintf(stderr, "PMKCmd: the file name joined to the program's folder is too long.\n");
    return 1;
  }

  if (!options.has_input || (options.has_output && !options.has_signature)) {
    if (options.verbose) messages.Write("No Input file!\n\n");
    PrintUsage();
    return kExitUsage;
  }

  pmk::cmd::SignRequest request;
  request.input = *input;
  request.output = *output;
  request.sign = options.has_output;
  request.signature = options.signature;
  request.jpeg_quality = options.jpeg_quality;
  request.larger_regions = options.robust;
  request.web_layer = options.web;
  request.cores = options.cores;
  if (request.sign) request.written_note = pmk::cmd::BareOutputNote(options.output, *output);
  const std::string input_hint = pmk::cmd::BareInputHint(options.input, *input);
  const int exit_code = pmk::cmd::RunSignAndVerify(request, messages);
  // Beside the message, not in it: callers read the message and the log.
  if (exit_code != 0 && !input_hint.empty()) {
    std::fprintf(stderr, "PMKCmd: %s\n", input_hint.c_str());
  }
  return exit_code;
}

}  // namespace

int main(int argc, char** argv) {
  // A file-size limit would otherwise kill the run in the middle of writing
  // the picture, leaving its temporary file behind; ignored, it becomes a
  // write error that the run cleans up and reports. (Windows has no such
  // signal.)
#ifdef SIGXFSZ
  std::signal(SIGXFSZ, SIG_IGN);
#endif
  try {
    return Run(argc, argv);
  } catch (const std::exception& error) {
    std::fprintf(stderr, "PMKCmd: %s\n", error.what());
  } catch (...) {
    std::fprintf(stderr, "PMKCmd: unexpected failure\n");
  }
  return 1;
}
