// Initialisation files ("[section]" lines followed by "key=value" lines), read
// and written the way the plug-in's language and settings files have always
// been: every read has a default, every write touches one key and leaves the
// rest of the file exactly as it was.
//
// Rules shared by every function here:
// - Section and key names match without regard to ASCII case; blanks around
//   names and values are ignored, so keys may contain blanks ("Use Cores").
// - Lines starting with ";" are comments; lines without "=" are skipped.
// - When a section or key appears twice, the first one counts.
// - A value wrapped in a pair of matching quotes is read without them.
// - Text is UTF-8; a byte-order mark at the start of the file is skipped.
// - A missing file, section or key reads as the default.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace pmk::platform {

// The value of `key` in `section`, or `fallback` when there is none.
std::string ReadProfileString(const std::filesystem::path& file, std::string_view section,
                              std::string_view key, std::string_view fallback);

// The value read like atoi: leading blanks, an optional sign, then decimal
// digits up to the first other character (saturated to the int range); a text
// that starts with no number reads as 0. `fallback` when the key is missing.
int ReadProfileInt(const std::filesystem::path& file, std::string_view section,
                   std::string_view key, int fallback);

// Sets `key` in `section` to `value`, creating the file, its folder, the
// section and the key as needed; a new key goes after the section's last entry.
// Every other byte of the file stays as it was. The file is replaced as a whole
// (written beside it, then renamed) so that a crash never leaves half a file.
// Failures are ignored: the caller keeps its values in memory for the run.
void WriteProfileString(const std::filesystem::path& file, std::string_view section,
                        std::string_view key, std::string_view value) noexcept;

// WriteProfileString with the number written as "%i" does.
void WriteProfileInt(const std::filesystem::path& file, std::string_view section,
                     std::string_view key, int value) noexcept;

}  // namespace pmk::platform
