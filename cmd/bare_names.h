// File names without a folder are looked up beside the program, not in the
// current directory: the plug-in's batch jobs rely on it.
#pragma once

#include <filesystem>
#include <optional>
#include <string>

namespace pmk::cmd {

// A name holding neither "/" nor "\" is bare (the empty name too).
bool IsBareName(const std::string& name) noexcept;

// The bare name joined to the folder of `executable` (UTF-8), with the path's
// own separator between them; other names, and any name when the executable's
// path holds no separator, come back as they are. Empty when the joined name
// would exceed kMaxJoinedNameLength characters (counted as the system counts
// file names: UTF-16 units on Windows, bytes elsewhere).
std::optional<std::string> ResolveBareName(const std::string& name, const std::string& executable);

// Installed, the program's folder is /usr/bin, where nobody keeps pictures:
// a user who typed a bare name almost always meant the current folder. These
// lines (without "PMKCmd: " and line break) tell them where the name went;
// empty when there is nothing to tell.
//
// For an input `name` that `resolved` (what ResolveBareName made of it) does
// not find.
std::string BareInputHint(const std::string& name, const std::string& resolved);
// For an output `name` written to `resolved`, unless that lies in the
// current folder anyway.
std::string BareOutputNote(const std::string& name, const std::string& resolved);

}  // namespace pmk::cmd
