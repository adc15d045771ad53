// Where the shared library that holds the caller lives.
#pragma once

#include <filesystem>

namespace pmk::platform {

// The folder of the library (or program) containing this function's code, so
// a plug-in finds the files installed beside it; empty when unknown.
std::filesystem::path ModuleFolder();

}  // namespace pmk::platform
