#include "engine/internal/check_symbols.h"

#include <mutex>

namespace pmk {
namespace {

constexpr int kCheckBitCount = 48;
constexpr int kDataBitCount = 60;
constexpr int kBitsPerSymbol = 6;

std::array<CheckTriple, kCheckTripleCount> check_triples{};
std::once_flag check_triples_built;

// A candidate is rejected when some stored triple has all three of its
// entries among the candidate's values, so no two triples share too much.
bool CoveredByStoredTriple(const CheckTriple& candidate, int stored_count) {
  for (int t = 0; t < stored_count; ++t) {
    int matches = 0;
    for (const std::uint8_t entry : check_triples[t]) {
      if (entry == candidate[0] || entry == candidate[1] || entry == candidate[2]) ++matches;
    }
    if (matches >= 3) return true;
  }
  return false;
}

void FillCheckTriples() {
  int stored = 0;
  for (int j = 0; j < 96; ++j) {
    for (int k = j + 1; k < 96; ++k) {
      for (int l = k + 1; l < 96; ++l) {
        const CheckTriple candidate = {static_cast<std::uint8_t>(j % kCheckBitCount),
                                       static_cast<std::uint8_t>(k % kCheckBitCount),
                                       static_cast<std::uint8_t>(l % kCheckBitCount)};
        if (CoveredByStoredTriple(candidate, stored)) continue;
        check_triples[stored++] = candidate;
        if (stored == kCheckTripleCount) return;
      }
    }
  }
}

}  // namespace

void BuildCheckTriples() noexcept {
  // A plain "built" flag would race once several search threads start
  // together; call_once makes the first caller build and the others wait.
  std::call_once(check_triples_built, FillCheckTriples);
}

const std::array<CheckTriple, kCheckTripleCount>& CheckTriples() noexcept {
  BuildCheckTriples();
  return check_triples;
}

std::array<std::uint8_t, kCheckSymbolCount> ComputeCheckSymbols(
    const std::array<std::uint8_t, kSignatureSymbolCount>& signature_symbols) noexcept {
  const auto& triples = CheckTriples();

  std::array<std::uint8_t, kDataBitCount> data_bits{};
  for (int j = 0; j < kSignatureSymbolCount; ++j) {
    for (int b = 0; b < kBitsPerSymbol; ++b) {
      data_bits[kBitsPerSymbol * j + b] = (signature_symbols[j] >> b) & 1;
    }
  }

  // A member that occurs twice in one triple toggles its check bit twice.
  std::array<std::uint8_t, kCheckBitCount> check_bits{};
  for (int i = 0; i < kDataBitCount; ++i) {
    for (const std::uint8_t member : triples[i]) check_bits[member] ^= data_bits[i];
  }

  std::array<std::uint8_t, kCheckSymbolCount> check_symbols{};
  for (int i = 0; i < kCheckSymbolCount; ++i) {
    int symbol = 0;
    for (int b = 0; b < kBitsPerSymbol; ++b) symbol += check_bits[kBitsPerSymbol * i + b] << b;
    check_symbols[i] = static_cast<std::uint8_t>(symbol);
  }
  return check_symbols;
}

}  // namespace pmk
