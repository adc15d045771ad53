// Stands in for PMKCmd: appends its arguments (program name excluded, joined
// by the unit separator 0x1F) as one line to the file named by
// PMK_STAND_IN_RECORD, waits PMK_STAND_IN_DELAY_MS milliseconds, then appends
// the line "end".
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <string>
#include <thread>

#include "platform/program_arguments.h"
#include "platform/utf8_path.h"

int main(int argc, char** argv) {
  const char* record = std::getenv("PMK_STAND_IN_RECORD");
  if (record == nullptr) return 2;
  const std::vector<std::string> arguments = pmk::platform::Utf8Arguments(argc, argv);
  std::string line;
  for (std::size_t i = 1; i < arguments.size(); ++i) {
    if (i > 1) line += '\x1f';
    line += arguments[i];
  }
  const auto file = pmk::platform::PathFromUtf8(record);
  std::ofstream(file, std::ios::app) << line << '\n' << std::flush;
  if (const char* delay = std::getenv("PMK_STAND_IN_DELAY_MS")) {
    std::this_thread::sleep_for(std::chrono::milliseconds(std::atoi(delay)));
  }
  std::ofstream(file, std::ios::app) << "end\n";
  return 0;
}
