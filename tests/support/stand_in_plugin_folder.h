// A plug-in folder whose pmk_cmd/PMKCmd is either the stand-in that records
// its arguments or the real PMKCmd of this build.
#pragma once

#include <stdlib.h>

#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "support/pmk_cmd_program.h"
#include "support/temp_folder.h"

namespace pmk::testing {

inline const std::filesystem::path kStandInProgram =
    std::filesystem::path(PMK_BINARY_DIR) / "tests" / "pmk_cmd_stand_in";

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
    std::filesystem::create_symlink(program, folder_ / "pmk_cmd" / "PMKCmd");
    setenv("PMK_STAND_IN_RECORD", (root_ / "record.txt").c_str(), 1);
    setenv("PMK_STAND_IN_DELAY_MS", std::to_string(delay_ms).c_str(), 1);
  }

  const std::filesystem::path& path() const { return folder_; }

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
