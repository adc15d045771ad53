// The PMKCmd program of this build, for the black-box tests.
#pragma once

#include <filesystem>

namespace pmk::testing {

inline const std::filesystem::path kPmkCmdProgram =
    std::filesystem::path(PMK_BINARY_DIR) / "cmd" / "PMKCmd";

}  // namespace pmk::testing
