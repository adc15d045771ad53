// The program's command-line arguments as UTF-8 text.
#pragma once

#include <string>
#include <vector>

namespace pmk::platform {

// The arguments main() received, program name first, each as UTF-8. On
// Windows `argv` is ignored: the C runtime has already squeezed it through
// the ANSI code page, losing every character outside it, so the arguments are
// split again from the wide command line.
std::vector<std::string> Utf8Arguments(int argc, char** argv);

}  // namespace pmk::platform
