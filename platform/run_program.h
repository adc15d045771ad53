// Starting another program and waiting for it to end.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace pmk::platform {

// Returned when the program could not be started at all.
inline constexpr int kProgramNotStarted = -1;

// Runs `program` with `arguments` (argv[1] onwards, each handed over as one
// argument exactly as given; no shell sees them), with standard input, output
// and error on /dev/null, and waits until it ends. Returns its exit status,
// 128 + the signal number when a signal ended it, or kProgramNotStarted.
// Safe to call from any thread.
int RunProgramAndWait(const std::filesystem::path& program,
                      const std::vector<std::string>& arguments) noexcept;

}  // namespace pmk::platform
