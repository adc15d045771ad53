// The subcommands of PMKInspect. Each takes the arguments after its own name,
// prints one JSON document on standard output and returns the exit code;
// bad arguments print a usage line on standard error and return 2.
#pragma once

#include <span>
#include <string_view>

namespace pmk::inspect {

using Arguments = std::span<const std::string_view>;

inline constexpr int kUsageError = 2;

int RunPayload(Arguments args);
int RunDecode(Arguments args);
int RunRegions(Arguments args);
int RunSign(Arguments args);
int RunDetect(Arguments args);
int RunCandidates(Arguments args);
int RunCells(Arguments args);
int RunGolden(Arguments args);

}  // namespace pmk::inspect
