// File names are UTF-8 text everywhere inside the programs. These turn such
// text into paths and back without passing through a locale's code page, so
// that a picture called "Ørsted – 北京.jpg" keeps its name on every system.
#pragma once

#include <cstdio>
#include <filesystem>
#include <string>
#include <string_view>

namespace pmk::platform {

// The path named by UTF-8 `text`.
std::filesystem::path PathFromUtf8(std::string_view text);

// The UTF-8 text of `path`, for messages, logs and command lines.
std::string Utf8FromPath(const std::filesystem::path& path);

// std::fopen for a path that may hold any character the file system allows;
// nullptr when the file cannot be opened.
std::FILE* OpenFile(const std::filesystem::path& file, const char* mode) noexcept;

// How long `name` (UTF-8) is in the units the system's file-name buffers are
// counted in: UTF-16 code units on Windows, bytes elsewhere.
std::size_t NativeNameLength(std::string_view name) noexcept;

// The number of UTF-16 code units `text` (UTF-8) takes; each byte that does
// not belong to a well-formed sequence counts as one unit.
std::size_t Utf16Length(std::string_view text) noexcept;

}  // namespace pmk::platform
