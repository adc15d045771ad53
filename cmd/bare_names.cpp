#include "cmd/bare_names.h"

#include "cmd/run_options.h"

namespace pmk::cmd {

bool IsBareName(const std::string& name) noexcept {
  return name.find_first_of("/\\") == std::string::npos;
}

std::optional<std::string> ResolveBareName(const std::string& name,
                                           const std::string& executable) {
  if (!IsBareName(name)) return name;
  const std::size_t cut = executable.find_last_of('/');
  if (cut == std::string::npos) return name;
  std::string joined = executable.substr(0, cut + 1) + name;
  if (joined.size() > kMaxJoinedNameLength) return std::nullopt;
  return joined;
}

}  // namespace pmk::cmd
