#include "engine/internal/bch15_7.h"

namespace pmk {
namespace {

constexpr std::array<std::uint8_t, kBchParityBits + 1> kGenerator = {1, 0, 0, 0, 1, 0, 1, 1, 1};

struct FieldTables {
  std::array<int, 15> power{};  // alpha^i
  std::array<int, 16> log{};    // inverse of power; log 0 = -1
};

// GF(16) with alpha a root of 1 + x + x^4, so alpha^4 = 1 + alpha (3).
constexpr FieldTables MakeFieldTables() {
  FieldTables tables;
  tables.power[0] = 1;
  tables.power[1] = 2;
  tables.power[2] = 4;
  tables.power[3] = 8;
  tables.power[4] = 3;
  for (int i = 5; i < 15; ++i) {
    const int previous = tables.power[i - 1];
    tables.power[i] = previous < 8 ? 2 * previous : tables.power[4] ^ (2 * (previous ^ 8));
  }
  tables.log[0] = -1;
  for (int i = 0; i < 15; ++i) tables.log[tables.power[i]] = i;
  return tables;
}

constexpr FieldTables kField = MakeFieldTables();

}  // namespace

BchCodeword BchEncode15_7(const std::array<std::uint8_t, kBchDataBits>& data) noexcept {
  // Division of x^8 d(x) by g(x) in a shift register, highest data bit first.
  std::array<std::uint8_t, kBchParityBits> r{};
  for (int i = kBchDataBits - 1; i >= 0; --i) {
    const std::uint8_t feedback = (data[i] & 1) ^ r[kBchParityBits - 1];
    for (int j = kBchParityBits - 1; j >= 1; --j) {
      r[j] = feedback != 0 ? static_cast<std::uint8_t>(r[j - 1] ^ kGenerator[j]) : r[j - 1];
    }
    r[0] = feedback != 0 ? kGenerator[0] : 0;
  }
  BchCodeword codeword{};
  for (int j = 0; j < kBchParityBits; ++j) codeword[j] = r[j];
  for (int i = 0; i < kBchDataBits; ++i) codeword[kBchParityBits + i] = data[i] & 1;
  return codeword;
}

void BchDecode15_7(BchCodeword& received) noexcept {
  std::array<int, 5> syndrome{};  // index 1..4
  bool any_nonzero = false;
  for (int i = 1; i <= 4; ++i) {
    int value = 0;
    for (int j = 0; j < kBchLength; ++j) {
      if (received[j] != 0) value ^= kField.power[(i * j) % 15];
    }
    syndrome[i] = value;
    any_nonzero = any_nonzero || value != 0;
  }
  if (!any_nonzero) return;

  std::array<int, 5> s{};  // logarithms of the syndromes, -1 for 0
  for (int i = 1; i <= 4; ++i) s[i] = kField.log[syndrome[i]];

  // S1 = 0 with another syndrome nonzero is not a pattern of one or two errors.
  if (s[1] == -1) return;

  const int t = (3 * s[1]) % 15;
  if (s[3] == t) {
    received[s[1]] ^= 1;
    return;
  }

  // Two errors: z = S1^3 + S3 is nonzero here, since S3 = S1^3 was the single
  // error case above.
  const int z = s[3] != -1 ? (kField.power[t] ^ kField.power[s[3]]) : kField.power[t];
  const int log_z = kField.log[z];
  const int sigma1 = (s[2] - log_z + 15) % 15;
  const int sigma2 = (s[1] - log_z + 15) % 15;

  // Chien search over alpha^1..alpha^15; a root alpha^i marks position i mod 15.
  std::array<int, 2> positions{};
  int found = 0;
  int r1 = sigma1;
  int r2 = sigma2;
  for (int i = 1; i <= 15; ++i) {
    r1 = (r1 + 1) % 15;
    r2 = (r2 + 2) % 15;
    const int q = 1 ^ kField.power[r1] ^ kField.power[r2];
    if (q == 0) {
      if (found < 2) positions[found] = i % 15;
      ++found;
    }
  }
  if (found != 2) return;
  received[positions[0]] ^= 1;
  received[positions[1]] ^= 1;
}

}  // namespace pmk
