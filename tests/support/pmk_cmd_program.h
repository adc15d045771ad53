// The programs of this build, for the black-box tests.
#pragma once

#include <filesystem>
#include <string>

#include "platform/run_program.h"

namespace pmk::testing {

using platform::kProgramFileSuffix;

inline const std::filesystem::path kPmkCmdProgram =
    std::filesystem::path(PMK_BINARY_DIR) / "cmd" / (std::string("PMKCmd") + kProgramFileSuffix);
inline const std::filesystem::path kInspectProgramFile =
    std::filesystem::path(PMK_BINARY_DIR) / "tools" / "inspect" /
    (std::string("PMKInspect") + kProgramFileSuffix);

}  // namespace pmk::testing
