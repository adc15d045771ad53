// Starting another program and waiting for it to end.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace pmk::platform {

// Returned when the program could not be started at all.
inline constexpr int kProgramNotStarted = -1;

// What a program's file name ends with.
#ifdef _WIN32
inline constexpr const char* kProgramFileSuffix = ".exe";
#else
inline constexpr const char* kProgramFileSuffix = "";
#endif

// Runs `program` (its full file name) with `arguments` (UTF-8, argv[1]
// onwards, each handed over as one argument exactly as given; no shell sees
// them) and waits until it ends. Its standard streams lead nowhere: on
// /dev/null, or on Windows into a console of its own that is never shown.
// Returns its exit status (on Linux 128 + the signal number when a signal
// ended it), or kProgramNotStarted. Safe to call from any thread.
int RunProgramAndWait(const std::filesystem::path& program,
                      const std::vector<std::string>& arguments) noexcept;

}  // namespace pmk::platform
