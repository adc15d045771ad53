// Setting a test's environment variables on every system (MinGW's C library
// has no setenv).
#pragma once

#include <stdlib.h>

#include <string>

namespace pmk::testing {

inline void SetEnvironment(const char* name, const std::string& value) {
#ifdef _WIN32
  _putenv_s(name, value.c_str());
#else
  setenv(name, value.c_str(), 1);
#endif
}

}  // namespace pmk::testing
