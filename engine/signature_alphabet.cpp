#include "engine/internal/signature_alphabet.h"

namespace pmk {

std::uint8_t CharToSymbol(char c) noexcept {
  // Compare as unsigned so that bytes of 128 and above fall to 63 whatever the
  // signedness of char.
  const auto byte = static_cast<unsigned char>(c);
  if (byte >= 'a' && byte <= 'z') return static_cast<std::uint8_t>(byte - 'a' + 1);
  if (byte >= 'A' && byte <= 'Z') return static_cast<std::uint8_t>(byte - 'A' + 27);
  if (byte >= '0' && byte <= '9') return static_cast<std::uint8_t>(byte - '0' + 53);
  return kOtherCharacterSymbol;
}

char SymbolToChar(std::uint8_t symbol) noexcept {
  const std::uint8_t value = symbol & 63;
  if (value == 0) return '\0';
  if (value <= 26) return static_cast<char>('a' + (value - 1));
  if (value <= 52) return static_cast<char>('A' + (value - 27));
  if (value <= 62) return static_cast<char>('0' + (value - 53));
  return '-';
}

}  // namespace pmk
