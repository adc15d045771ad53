// Where the running program lives.
#pragma once

#include <filesystem>

namespace pmk::platform {

// Full path of the running executable; empty when it cannot be determined.
std::filesystem::path ExecutablePath();

}  // namespace pmk::platform
