// PMKInspect payload SIGNATURE: the payload text, its 18 symbols and the 256
// cell bits that signing would hide in every region.
#include <cstdio>
#include <iostream>
#include <nlohmann/json.hpp>
#include <string>

#include "engine/engine.h"
#include "engine/internal/payload_cells.h"
#include "tools/inspect/inspect_commands.h"

namespace pmk::inspect {

int RunPayload(Arguments args) {
  if (args.size() != 1) {
    std::fputs("usage: PMKInspect payload SIGNATURE\n", stderr);
    return kUsageError;
  }
  // As the signers format it: the signature cut to 10 characters and at its
  // first NUL.
  const std::string payload = FormatPayload(args[0]).c_str();

  nlohmann::ordered_json symbols = nlohmann::ordered_json::array();
  for (const std::uint8_t symbol : PayloadSymbols(payload.c_str())) symbols.push_back(symbol);

  std::string cells;
  for (const std::uint8_t bit : EncodePayloadCells(payload.c_str())) cells += bit != 0 ? '1' : '0';

  nlohmann::ordered_json out;
  out["payload"] = payload;
  out["symbols"] = std::move(symbols);
  out["cells"] = cells;
  // A signature cut inside a multi-byte character is not valid UTF-8; show the
  // broken bytes as replacement characters rather than failing.
  std::cout << out.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace) << '\n';
  return 0;
}

}  // namespace pmk::inspect
