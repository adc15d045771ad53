#include "platform/module_folder.h"

#include "platform/windows/module_file_name.h"

namespace pmk::platform {

std::filesystem::path ModuleFolder() {
  HMODULE module = nullptr;
  // The module holding this very function: the plug-in's DLL inside the
  // editor, not the editor's program.
  if (!GetModuleHandleExW(
          GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
          reinterpret_cast<LPCWSTR>(&ModuleFolder), &module)) {
    return {};
  }
  const std::filesystem::path file = ModuleFileName(module);
  return file.empty() ? file : file.parent_path();
}

}  // namespace pmk::platform
