// A plug-in folder whose pmk_cmd/PMKCmd is either the stand-in that records
// its arguments or the real PMKCmd of this build.
#pragma once

#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "platform/utf8_path.h"
#include "support/environment.h"
#include "support/pmk_cmd_program.h"
#include "support/temp_folder.h"

namespace pmk::testing {

inline const std::filesystem::path kStandInProgram =
    std::filesystem::path(PMK_BINARY_DIR) / "tests" /
    (std::string("pmk_cmd_stand_in") + kProgramFileSuffix);

// What the stand-in saw: one argument vector per start, and how many ended.
struct StandInRecord {
  std::vector<std::vector<std::string>> runs;
  int ended = 0;
};

class PluginFolder {
 public:
  // The folder name holds a blank on purpose: it must reach PMKCmd intact.
  explicit PluginFolder(const std::filesystem::path& program, int delay_ms = 0)
      : folder_(root_ / "plug in folder") {
    std::filesystem::create_directories(folder_ / "pmk_cmd");
    const std::filesystem::path placed =
        folder_ / "pmk_cmd" / (std::string("PMKCmd") + kProgramFileSuffix);
#ifdef _WIN32
    // Ordinary Windows accounts cannot make links; the installer copies too.
    std::filesystem::copy_file(program, placed);
#else
    std::filesystem::create_symlink(program, placed);
#endif
    SetEnvironment("PMK_STAND_IN_RECORD", platform::Utf8FromPath(root_ / "record.txt"));
    SetEnvironment("PMK_STAND_IN_DELAY_MS", std::to_string(delay_ms));
  }

  const std::filesystem::path& path() const {
    return folder_;
  }

  StandInRecord Record() const {
    StandInRecord record;
    std::istringstream lines(ReadBytes(root_ / "record.txt"));
    for (std::string line; std::getline(lines, line);) {
      if (line == "end") {
        ++record.ended;
        continue;
      }
      std::vector<std::string> arguments;
      std::istringstream fields(line);
      for (std::string field; std::getline(fields, field, '\x1f');) arguments.push_back(field);
      record.runs.push_back(arguments);
    }
    return record;
  }

 private:
  TempFolder root_;
  std::filesystem::path folder_;
};

}  // namespace pmk::testing
