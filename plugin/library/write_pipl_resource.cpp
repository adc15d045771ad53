// Writes the plug-in property list in its Windows resource form to a file,
// for the Windows build to embed as resource 'PiPL' 16000.
#include <cstdio>
#include <fstream>

#include "plugin/interface/property_list_bytes.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s OUTPUT\n", argv[0]);
    return 2;
  }
  constexpr pmk::plugin::PropertyListBytes kList =
      pmk::plugin::BuildPropertyList(pmk::plugin::PropertyListForm::kWindowsResource);
  std::ofstream out(argv[1], std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(kList.bytes.data()),
            static_cast<std::streamsize>(kList.size));
  out.close();
  if (!out) {
    std::fprintf(stderr, "%s: cannot write %s\n", argv[0], argv[1]);
    return 1;
  }
  return 0;
}
