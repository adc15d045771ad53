// PMKInspect decode CELLBITS: reads 256 cell bits (cell 0 first) back into the
// payload text and the verdict the detector would reach for that region.
#include <cstdio>
#include <iostream>
#include <nlohmann/json.hpp>
#include <string>

#include "engine/internal/payload_cells.h"
#include "tools/inspect/inspect_commands.h"

namespace pmk::inspect {
namespace {

bool ParseCellBits(std::string_view text, CellBits& cells) {
  if (text.size() != cells.size()) return false;
  for (std::size_t n = 0; n < cells.size(); ++n) {
    if (text[n] != '0' && text[n] != '1') return false;
    cells[n] = text[n] == '1' ? 1 : 0;
  }
  return true;
}

}  // namespace

int RunDecode(Arguments args) {
  CellBits cells{};
  if (args.size() != 1 || !ParseCellBits(args[0], cells)) {
    std::fputs("usage: PMKInspect decode CELLBITS (256 characters 0 or 1, cell 0 first)\n", stderr);
    return kUsageError;
  }
  const DecodedPayload decoded = DecodePayloadCells(cells);

  // "text" shows all 18 characters with the trailing NULs dropped; a NUL in the
  // middle (a check symbol of 0, or a gap before the signature) stays in place
  // as \u0000, so every character keeps its position. "signature" is what a
  // detector reports: from character 8 up to the first NUL.
  const std::string_view all(decoded.text.data(), kPayloadSymbolCount);
  const std::size_t last = all.find_last_not_of('\0');
  const std::string text(all.substr(0, last == std::string_view::npos ? 0 : last + 1));
  const std::string signature(decoded.text.data() + kPayloadSignatureStart);

  nlohmann::ordered_json out;
  out["text"] = text;
  out["signature"] = signature;
  out["consistent"] = decoded.consistent;
  out["valid"] = decoded.valid;
  std::cout << out.dump() << '\n';
  return 0;
}

}  // namespace pmk::inspect
