#include "platform/executable_path.h"

#include "platform/windows/module_file_name.h"

namespace pmk::platform {

std::filesystem::path ExecutablePath() {
  return ModuleFileName(nullptr);
}

}  // namespace pmk::platform
