#include "engine/internal/web_code.h"

#include <algorithm>
#include <cstddef>

#include "engine/internal/signature_alphabet.h"

namespace pmk::web {
namespace {

constexpr unsigned kFirstGenerator = 0171;
constexpr unsigned kSecondGenerator = 0133;
constexpr unsigned kRegisterMask = 0x7f;
constexpr int kStates = 64;
constexpr int kSteps = kInfoBits + kCodeMemory;
constexpr std::uint64_t kCrcPolynomial = 0x42F0E1EBA9EA3693ull;
constexpr int kSymbolBits = 6;
constexpr int kSymbols = kSignatureBits / kSymbolBits;

unsigned Parity(unsigned value) noexcept {
  value ^= value >> 4;
  value ^= value >> 2;
  value ^= value >> 1;
  return value & 1u;
}

// The two coded bits of a register holding the newest bit in its lowest place.
unsigned FirstOutput(unsigned reg) noexcept {
  return Parity(reg & kFirstGenerator);
}
unsigned SecondOutput(unsigned reg) noexcept {
  return Parity(reg & kSecondGenerator);
}

std::uint8_t SymbolAt(const InfoBits& info, int symbol) noexcept {
  unsigned value = 0;
  for (int b = 0; b < kSymbolBits; ++b) {
    value = (value << 1) | info[static_cast<std::size_t>(symbol * kSymbolBits + b)];
  }
  return static_cast<std::uint8_t>(value);
}

}  // namespace

std::uint64_t CheckOf(const InfoBits& info) noexcept {
  std::uint64_t crc = ~0ull;
  for (int i = 0; i < kSignatureBits; ++i) {
    const bool top = ((crc >> 63) & 1u) != info[static_cast<std::size_t>(i)];
    crc <<= 1;
    if (top) crc ^= kCrcPolynomial;
  }
  return ~crc & ((1ull << kCheckBits) - 1);
}

InfoBits InfoFromSignature(std::string_view signature) noexcept {
  InfoBits info{};
  const std::string_view used =
      signature.substr(0, std::min(signature.find('\0'), std::size_t{kSymbols}));
  for (std::size_t s = 0; s < used.size(); ++s) {
    const std::uint8_t symbol = CharToSymbol(used[s]);
    for (int b = 0; b < kSymbolBits; ++b) {
      info[s * kSymbolBits + static_cast<std::size_t>(b)] =
          static_cast<std::uint8_t>((symbol >> (kSymbolBits - 1 - b)) & 1u);
    }
  }
  const std::uint64_t check = CheckOf(info);
  for (int i = 0; i < kCheckBits; ++i) {
    info[static_cast<std::size_t>(kSignatureBits + i)] =
        static_cast<std::uint8_t>((check >> (kCheckBits - 1 - i)) & 1u);
  }
  return info;
}

bool CheckHolds(const InfoBits& info) noexcept {
  const std::uint64_t check = CheckOf(info);
  for (int i = 0; i < kCheckBits; ++i) {
    if (info[static_cast<std::size_t>(kSignatureBits + i)] !=
        ((check >> (kCheckBits - 1 - i)) & 1u)) {
      return false;
    }
  }
  return true;
}

int SignatureFromInfo(const InfoBits& info, int shortest, char* text) noexcept {
  int length = 0;
  while (length < kSymbols && SymbolAt(info, length) != 0) {
    text[length] = SymbolToChar(SymbolAt(info, length));
    ++length;
  }
  text[length] = '\0';
  for (int s = length; s < kSymbols; ++s) {
    if (SymbolAt(info, s) != 0) return -1;
  }
  return length < shortest ? -1 : length;
}

void Encode(const InfoBits& info, CodedBits& coded) noexcept {
  unsigned reg = 0;
  for (int t = 0; t < kSteps; ++t) {
    const unsigned bit = t < kInfoBits ? info[static_cast<std::size_t>(t)] : 0u;
    reg = ((reg << 1) | bit) & kRegisterMask;
    coded[static_cast<std::size_t>(2 * t)] = static_cast<std::uint8_t>(FirstOutput(reg));
    coded[static_cast<std::size_t>(2 * t + 1)] = static_cast<std::uint8_t>(SecondOutput(reg));
  }
}

void Decode(const SoftBits& soft, InfoBits& info) noexcept {
  constexpr double kUnreached = -1e300;
  std::array<double, kStates> metric;
  std::array<double, kStates> next;
  metric.fill(kUnreached);
  metric[0] = 0.0;
  // The state each state of step t was reached from; 7 KB on the stack.
  std::array<std::array<std::uint8_t, kStates>, kSteps> from{};
  for (int t = 0; t < kSteps; ++t) {
    next.fill(kUnreached);
    const double a = soft[static_cast<std::size_t>(2 * t)];
    const double b = soft[static_cast<std::size_t>(2 * t + 1)];
    const unsigned choices = t < kInfoBits ? 2u : 1u;  // the tail shifts in zeros
    for (int s = 0; s < kStates; ++s) {
      if (metric[static_cast<std::size_t>(s)] == kUnreached) continue;
      for (unsigned bit = 0; bit < choices; ++bit) {
        const unsigned reg = ((static_cast<unsigned>(s) << 1) | bit) & kRegisterMask;
        const auto state = static_cast<std::size_t>(reg & (kStates - 1));
        const double first = FirstOutput(reg) != 0 ? a : -a;
        const double second = SecondOutput(reg) != 0 ? b : -b;
        const double candidate = metric[static_cast<std::size_t>(s)] + first + second;
        // Ties keep the earlier (smaller) predecessor, so decoding is reproducible.
        if (candidate > next[state]) {
          next[state] = candidate;
          from[static_cast<std::size_t>(t)][state] = static_cast<std::uint8_t>(s);
        }
      }
    }
    metric = next;
  }
  unsigned state = 0;  // the tail ends every path in state 0
  for (int t = kSteps - 1; t >= 0; --t) {
    if (t < kInfoBits) info[static_cast<std::size_t>(t)] = static_cast<std::uint8_t>(state & 1u);
    state = from[static_cast<std::size_t>(t)][state];
  }
}

}  // namespace pmk::web
