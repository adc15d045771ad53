// The payload reader on arbitrary cell bits: one input byte per cell (any
// nonzero byte is a 1), missing cells 0.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "engine/internal/payload_cells.h"

namespace {

void Require(bool condition) {
  if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  pmk::CellBits cells{};
  std::memcpy(cells.data(), data, size < cells.size() ? size : cells.size());

  const pmk::DecodedPayload decoded = pmk::DecodePayloadCells(cells);
  Require(decoded.text[pmk::kPayloadSymbolCount] == '\0');
  Require(!decoded.valid || decoded.consistent);
  // The reader only looks at whether a cell is zero.
  pmk::CellBits normalised{};
  for (std::size_t i = 0; i < cells.size(); ++i) normalised[i] = cells[i] != 0 ? 1 : 0;
  const pmk::DecodedPayload again = pmk::DecodePayloadCells(normalised);
  Require(again.text == decoded.text && again.consistent == decoded.consistent &&
          again.valid == decoded.valid);
  if (!decoded.valid) return 0;

  // A payload that reads back as valid must survive being signed again: its
  // signature, encoded afresh, reads back the same.
  const std::string signature(decoded.text.data() + pmk::kPayloadSignatureStart);
  const std::string payload = "signSIGN" + signature;
  const pmk::DecodedPayload reread =
      pmk::DecodePayloadCells(pmk::EncodePayloadCells(payload.c_str()));
  Require(reread.valid);
  Require(std::string(reread.text.data() + pmk::kPayloadSignatureStart) == signature);
  return 0;
}
