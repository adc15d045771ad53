#include "platform/program_arguments.h"

namespace pmk::platform {

// Linux hands the program its arguments as the bytes that were typed, which
// are UTF-8 wherever file names are.
std::vector<std::string> Utf8Arguments(int argc, char** argv) {
  return std::vector<std::string>(argv, argv + argc);
}

}  // namespace pmk::platform
