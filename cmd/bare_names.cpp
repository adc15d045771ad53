#include "cmd/bare_names.h"

#include <system_error>

#include "cmd/run_options.h"
#include "platform/utf8_path.h"

namespace pmk::cmd {
namespace {

// Where a folder's name ends in the program's path: "\\" (or "/") on
// Windows, "/" elsewhere.
constexpr const char* kSeparators =
    std::filesystem::path::preferred_separator == '\\' ? "\\/" : "/";

// A name the rule actually moved: bare, and joined to a folder.
bool WasMoved(const std::string& name, const std::string& resolved) {
  return !name.empty() && IsBareName(name) && resolved != name;
}

std::string FolderOf(const std::string& resolved) {
  const std::size_t cut = resolved.find_last_of(kSeparators);
  const std::string folder = resolved.substr(0, cut);
  return folder.empty() ? resolved.substr(0, cut + 1) : folder;
}

std::string Explanation(const std::string& name, const std::string& resolved) {
  return "the program's folder (" + FolderOf(resolved) + "), as bare names are; write ./" + name +
         " for the current folder";
}

}  // namespace

bool IsBareName(const std::string& name) noexcept {
  return name.find_first_of("/\\") == std::string::npos;
}

std::optional<std::string> ResolveBareName(const std::string& name, const std::string& executable) {
  if (!IsBareName(name)) return name;
  const std::size_t cut = executable.find_last_of(kSeparators);
  if (cut == std::string::npos) return name;
  std::string joined = executable.substr(0, cut + 1) + name;
  if (platform::NativeNameLength(joined) > kMaxJoinedNameLength) return std::nullopt;
  return joined;
}

std::string BareInputHint(const std::string& name, const std::string& resolved) {
  std::error_code error;
  if (!WasMoved(name, resolved) || std::filesystem::exists(platform::PathFromUtf8(resolved), error))
    return {};
  return name + " was looked for in " + Explanation(name, resolved);
}

std::string BareOutputNote(const std::string& name, const std::string& resolved) {
  if (!WasMoved(name, resolved)) return {};
  std::error_code error;
  const std::filesystem::path current = std::filesystem::current_path(error);
  if (!error &&
      std::filesystem::equivalent(platform::PathFromUtf8(FolderOf(resolved)), current, error))
    return {};
  return name + " was written to " + Explanation(name, resolved);
}

}  // namespace pmk::cmd
