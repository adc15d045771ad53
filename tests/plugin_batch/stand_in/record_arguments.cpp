// Stands in for PMKCmd: appends its arguments (program name excluded, joined
// by the unit separator 0x1F) as one line to the file named by
// PMK_STAND_IN_RECORD, waits PMK_STAND_IN_DELAY_MS milliseconds, then appends
// the line "end".
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <string>
#include <thread>

int main(int argc, char** argv) {
  const char* record = std::getenv("PMK_STAND_IN_RECORD");
  if (record == nullptr) return 2;
  std::string line;
  for (int i = 1; i < argc; ++i) {
    if (i > 1) line += '\x1f';
    line += argv[i];
  }
  std::ofstream(record, std::ios::app) << line << '\n' << std::flush;
  if (const char* delay = std::getenv("PMK_STAND_IN_DELAY_MS")) {
    std::this_thread::sleep_for(std::chrono::milliseconds(std::atoi(delay)));
  }
  std::ofstream(record, std::ios::app) << "end\n";
  return 0;
}
