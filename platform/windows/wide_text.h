// Windows speaks UTF-16; the programs speak UTF-8. Conversions between them
// never go through the ANSI code page.
#pragma once

#include <string>
#include <string_view>

namespace pmk::platform {

// Malformed input comes out with replacement characters, never cut short.
std::wstring WideFromUtf8(std::string_view text);
std::string Utf8FromWide(std::wstring_view text);

}  // namespace pmk::platform
