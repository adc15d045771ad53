// PMKInspect: prints what the engine sees in a signature or a picture, as JSON.
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "engine/engine.h"
#include "platform/program_arguments.h"
#include "tools/inspect/inspect_commands.h"

namespace {

struct Command {
  std::string_view name;
  std::string_view usage;
  int (*run)(pmk::inspect::Arguments);
};

constexpr Command kCommands[] = {
    {"payload", "payload SIGNATURE", pmk::inspect::RunPayload},
    {"decode", "decode CELLBITS", pmk::inspect::RunDecode},
    {"regions", "regions IMAGE [--robust]", pmk::inspect::RunRegions},
    {"sign", "sign IN OUT SIGNATURE [--seed N] [--robust] [--web]", pmk::inspect::RunSign},
    {"detect", "detect IMAGE [--scale X] [--cores N]", pmk::inspect::RunDetect},
    {"candidates", "candidates IMAGE [--mode 0|1]", pmk::inspect::RunCandidates},
    {"cells", "cells IMAGE --rect x0,y0,x1,y1", pmk::inspect::RunCells},
    {"golden", "golden IMAGE | golden --synthetic blocks|checks|mosaic|flat",
     pmk::inspect::RunGolden},
};

int PrintUsage() {
  std::fputs("usage: PMKInspect COMMAND ...\ncommands:\n", stderr);
  for (const Command& command : kCommands) {
    std::fprintf(stderr, "  %.*s\n", static_cast<int>(command.usage.size()), command.usage.data());
  }
  return pmk::inspect::kUsageError;
}

#ifdef PMK_TEST_SEAMS
// Test seam, compiled only into the test build: PMK_TEST_MAX_LANES (4, 8 or
// 16) caps the engine's vector lanes, as in PMKCmd.
void ApplyLaneCap() {
  if (const char* lanes = std::getenv("PMK_TEST_MAX_LANES")) {
    pmk::LimitVectorLanes(std::atoi(lanes));
  }
}
#endif

}  // namespace

int main(int argc, char** argv) {
#ifdef PMK_TEST_SEAMS
  ApplyLaneCap();
#endif
  const std::vector<std::string> arguments = pmk::platform::Utf8Arguments(argc, argv);
  if (arguments.size() < 2) return PrintUsage();
  const std::string_view name = arguments[1];
  const std::vector<std::string_view> rest(arguments.begin() + 2, arguments.end());
  for (const Command& command : kCommands) {
    if (command.name == name) return command.run(rest);
  }
  return PrintUsage();
}
