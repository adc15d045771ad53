#include "platform/program_arguments.h"

#include <memory>

#include "platform/windows/wide_text.h"
#include "platform/windows/windows_api.h"
// After <windows.h>, which it needs.
#include <shellapi.h>

namespace pmk::platform {
namespace {

struct LocalFreer {
  void operator()(LPWSTR* block) const { LocalFree(block); }
};

}  // namespace

std::vector<std::string> Utf8Arguments(int argc, char** argv) {
  int count = 0;
  const std::unique_ptr<LPWSTR, LocalFreer> wide(CommandLineToArgvW(GetCommandLineW(), &count));
  // Only out of memory: the code-page arguments are better than none.
  if (!wide) return std::vector<std::string>(argv, argv + argc);
  std::vector<std::string> arguments;
  arguments.reserve(static_cast<std::size_t>(count));
  for (int i = 0; i < count; ++i) arguments.push_back(Utf8FromWide(wide.get()[i]));
  return arguments;
}

}  // namespace pmk::platform
