// The full file name of a loaded module, however long.
#pragma once

#include <filesystem>

#include "platform/windows/windows_api.h"

namespace pmk::platform {

// The file of `module` (the program itself for nullptr); empty on failure.
std::filesystem::path ModuleFileName(HMODULE module);

}  // namespace pmk::platform
