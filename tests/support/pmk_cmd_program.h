// The programs of this build, for the black-box tests.
#pragma once

#include <filesystem>
#include <string>

namespace pmk::testing {

#ifdef _WIN32
inline constexpr const char* kProgramSuffix = ".exe";
#else
inline constexpr const char* kProgramSuffix = "";
#endif

inline const std::filesystem::path kPmkCmdProgram =
    std::filesystem::path(PMK_BINARY_DIR) / "cmd" / (std::string("PMKCmd") + kProgramSuffix);
inline const std::filesystem::path kInspectProgramFile =
    std::filesystem::path(PMK_BINARY_DIR) / "tools" / "inspect" /
    (std::string("PMKInspect") + kProgramSuffix);

}  // namespace pmk::testing
