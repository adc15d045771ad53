#include "engine/internal/payload_cells.h"

#include <cmath>

#include "engine/internal/bch15_7.h"
#include "engine/internal/cell_permutation.h"
#include "engine/internal/check_symbols.h"
#include "engine/internal/mark.h"
#include "engine/internal/signature_alphabet.h"

namespace pmk {
namespace {

constexpr int kBitsPerSymbol = 6;
constexpr int kPayloadBitCount = 112;
constexpr int kCodewordCount = 16;

std::array<std::uint8_t, kSignatureSymbolCount> SignatureSymbols(
    const std::array<std::uint8_t, kPayloadSymbolCount>& symbols) {
  std::array<std::uint8_t, kSignatureSymbolCount> signature{};
  for (int j = 0; j < kSignatureSymbolCount; ++j)
    signature[j] = symbols[kPayloadSignatureStart + j];
  return signature;
}

}  // namespace

std::array<std::uint8_t, kPayloadSymbolCount> PayloadSymbols(const char* payload_text) noexcept {
  // Characters after position 17 never reach the payload, so reading stops
  // there; positions after the terminating NUL stay 0.
  std::array<std::uint8_t, kPayloadSymbolCount> symbols{};
  if (payload_text != nullptr) {
    for (int i = 0; i < kPayloadSymbolCount && payload_text[i] != '\0'; ++i) {
      symbols[i] = CharToSymbol(payload_text[i]);
    }
  }
  const auto check = ComputeCheckSymbols(SignatureSymbols(symbols));
  for (int i = 0; i < kCheckSymbolCount; ++i) symbols[i] = check[i];
  return symbols;
}

CellBits EncodePayloadCells(const char* payload_text) noexcept {
  const auto symbols = PayloadSymbols(payload_text);

  std::array<std::uint8_t, kPayloadBitCount> payload_bits{};
  for (int i = 0; i < kPayloadSymbolCount; ++i) {
    for (int b = 0; b < kBitsPerSymbol; ++b) {
      payload_bits[kBitsPerSymbol * i + b] = (symbols[i] >> b) & 1;
    }
  }

  std::array<std::uint8_t, kCodeBitCount> code_bits{};  // 240..242 stay 0
  for (int k = 0; k < kCodewordCount; ++k) {
    std::array<std::uint8_t, kBchDataBits> block{};
    for (int i = 0; i < kBchDataBits; ++i) block[i] = payload_bits[kBchDataBits * k + i];
    const BchCodeword codeword = BchEncode15_7(block);
    for (int j = 0; j < kBchLength; ++j) code_bits[kBchLength * k + j] = codeword[j];
  }

  CellBits cells{};  // 243..255 stay 0
  for (int n = 0; n < kCodeBitCount; ++n) cells[n] = code_bits[CellToCodeBit[n]];
  return cells;
}

DecodedPayload DecodePayloadCells(const CellBits& cell_bits) noexcept {
  std::array<std::uint8_t, kPayloadBitCount> payload_bits{};
  for (int k = 0; k < kCodewordCount; ++k) {
    BchCodeword codeword{};
    for (int j = 0; j < kBchLength; ++j) {
      codeword[j] = cell_bits[CodeBitToCell[kBchLength * k + j]] != 0 ? 1 : 0;
    }
    BchDecode15_7(codeword);
    for (int i = 0; i < kBchDataBits; ++i) {
      payload_bits[kBchDataBits * k + i] = codeword[kBchParityBits + i];
    }
  }

  std::array<std::uint8_t, kPayloadSymbolCount> symbols{};
  for (int i = 0; i < kPayloadSymbolCount; ++i) {
    int symbol = 0;
    for (int b = 0; b < kBitsPerSymbol; ++b) symbol += payload_bits[kBitsPerSymbol * i + b] << b;
    symbols[i] = static_cast<std::uint8_t>(symbol);
  }

  DecodedPayload result;
  const auto check = ComputeCheckSymbols(SignatureSymbols(symbols));
  result.consistent = true;
  for (int i = 0; i < kCheckSymbolCount; ++i) {
    if (check[i] != symbols[i]) result.consistent = false;
  }

  for (int i = 0; i < kPayloadSymbolCount; ++i) result.text[i] = SymbolToChar(symbols[i]);
  result.text[kPayloadSymbolCount] = '\0';

  int signature_length = 0;
  while (kPayloadSignatureStart + signature_length < kPayloadSymbolCount &&
         result.text[kPayloadSignatureStart + signature_length] != '\0') {
    ++signature_length;
  }
  result.valid = result.consistent && signature_length >= kMinimumSignatureLength;
  return result;
}

std::uint8_t CellBitFromValue(double value) noexcept {
  return std::fmod(value, kLatticeStep) >= kLatticeStep / 2 ? 1 : 0;
}

}  // namespace pmk
