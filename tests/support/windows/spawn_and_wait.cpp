// The Windows half of RunProcess (support/run_process.h).
#include <windows.h>

#include "platform/utf8_path.h"
#include "platform/windows_command_line.h"
#include "support/run_process.h"

namespace pmk::testing {

// Runs the program; its exit code, or -1 when it could not be started.
int SpawnAndWait(const std::filesystem::path& program, const std::vector<std::string>& arguments,
                 const std::filesystem::path& working_folder, const std::filesystem::path& out_file,
                 const std::filesystem::path& err_file) {
  SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
  auto open = [&inherit](const std::filesystem::path& file, DWORD access, DWORD creation) {
    return CreateFileW(file.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit, creation,
                       FILE_ATTRIBUTE_NORMAL, nullptr);
  };
  HANDLE in = open(L"NUL", GENERIC_READ, OPEN_EXISTING);
  HANDLE out = open(out_file, GENERIC_WRITE, CREATE_ALWAYS);
  HANDLE err = open(err_file, GENERIC_WRITE, CREATE_ALWAYS);
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = in;
  startup.hStdOutput = out;
  startup.hStdError = err;
  std::wstring line = platform::PathFromUtf8(platform::JoinWindowsCommandLine(
                                                 platform::Utf8FromPath(program), arguments))
                          .wstring();
  PROCESS_INFORMATION process{};
  int exit_code = -1;
  if (CreateProcessW(program.c_str(), line.data(), nullptr, nullptr, TRUE, 0, nullptr,
                     working_folder.c_str(), &startup, &process)) {
    WaitForSingleObject(process.hProcess, INFINITE);
    DWORD code = 0;
    if (GetExitCodeProcess(process.hProcess, &code)) exit_code = static_cast<int>(code);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
  }
  for (HANDLE handle : {in, out, err}) {
    if (handle != INVALID_HANDLE_VALUE) CloseHandle(handle);
  }
  return exit_code;
}

}  // namespace pmk::testing
