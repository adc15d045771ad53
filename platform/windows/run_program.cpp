#include "platform/run_program.h"

#include "platform/utf8_path.h"
#include "platform/windows/wide_text.h"
#include "platform/windows/windows_api.h"
#include "platform/windows_command_line.h"

namespace pmk::platform {

int RunProgramAndWait(const std::filesystem::path& program,
                      const std::vector<std::string>& arguments) noexcept {
  try {
    // The child splits this line itself, by the rules the quoting follows.
    std::wstring line = WideFromUtf8(JoinWindowsCommandLine(Utf8FromPath(program), arguments));
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process{};
    // A console of its own that is never shown: no window flashes up for
    // each picture of a batch, and the child's output reaches nobody.
    // Nothing is inherited, so concurrent starts cannot leak handles.
    if (!CreateProcessW(program.c_str(), line.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW,
                        nullptr, nullptr, &startup, &process)) {
      return kProgramNotStarted;
    }
    CloseHandle(process.hThread);
    DWORD exit_code = 0;
    const bool ended = WaitForSingleObject(process.hProcess, INFINITE) == WAIT_OBJECT_0 &&
                       GetExitCodeProcess(process.hProcess, &exit_code);
    CloseHandle(process.hProcess);
    return ended ? static_cast<int>(exit_code) : kProgramNotStarted;
  } catch (...) {
    // Only building the command line can throw (out of memory): nothing was
    // started.
    return kProgramNotStarted;
  }
}

}  // namespace pmk::platform
