// File names without a folder are looked up beside the program, not in the
// current directory: the plug-in's batch jobs rely on it.
#pragma once

#include <filesystem>
#include <optional>
#include <string>

namespace pmk::cmd {

// A name holding neither "/" nor "\" is bare (the empty name too).
bool IsBareName(const std::string& name) noexcept;

// The bare name joined to the folder of `executable`, with one "/" between
// them; other names, and any name when the executable's path holds no
// separator, come back as they are. Empty when the joined name would exceed
// kMaxJoinedNameLength characters.
std::optional<std::string> ResolveBareName(const std::string& name,
                                           const std::string& executable);

}  // namespace pmk::cmd
