// Handing a web or file address to the user's browser.
#pragma once

#include <string>

namespace pmk::platform {

// Asks the desktop to open `url` (UTF-8) without waiting for the browser;
// true when it could be asked.
bool OpenAddress(const std::string& url) noexcept;

}  // namespace pmk::platform
