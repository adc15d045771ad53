#include "platform/module_folder.h"

#include <dlfcn.h>

#include <system_error>

namespace pmk::platform {

std::filesystem::path ModuleFolder() {
  Dl_info info{};
  if (dladdr(reinterpret_cast<void*>(&ModuleFolder), &info) == 0 || info.dli_fname == nullptr)
    return {};
  std::error_code error;
  std::filesystem::path path = std::filesystem::canonical(info.dli_fname, error);
  if (error) return {};
  return path.parent_path();
}

}  // namespace pmk::platform
