// Runs the PMKInspect program of this build with a shell-quoted argument line.
#pragma once

#include <sys/wait.h>

#include <cstdio>
#include <string>

namespace pmk::testing {

inline const std::string kInspectProgram = PMK_BINARY_DIR "/tools/inspect/PMKInspect";

struct ToolRun {
  int exit_code = -1;
  std::string out;
};

// Arguments go through the shell as written (quote names that need it);
// standard error is discarded.
inline ToolRun RunInspect(const std::string& arguments) {
  ToolRun run;
  const std::string command = "'" + kInspectProgram + "' " + arguments + " 2>/dev/null";
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return run;
  char buffer[4096];
  std::size_t got = 0;
  while ((got = std::fread(buffer, 1, sizeof(buffer), pipe)) > 0) run.out.append(buffer, got);
  const int status = pclose(pipe);
  run.exit_code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return run;
}

}  // namespace pmk::testing
