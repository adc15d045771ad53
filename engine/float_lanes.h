// Eight single-precision lanes computed side by side.
//
// Used where neighbouring outputs are independent sums: every lane performs
// exactly the multiplications and additions of the scalar code, in the same
// order, so the results are bit for bit those of the scalar loop. Nothing is
// reassociated and nothing is fused (the build forbids contraction). On
// machines without 256-bit registers the compiler splits each operation in
// two.
#pragma once

#include <cstring>

namespace pmk {

using FloatLanes = float __attribute__((vector_size(32)));
inline constexpr int kFloatLanes = 8;

inline FloatLanes LoadLanes(const float* p) noexcept {
  FloatLanes v;
  std::memcpy(&v, p, sizeof v);
  return v;
}

inline void StoreLanes(float* p, FloatLanes v) noexcept {
  std::memcpy(p, &v, sizeof v);
}

inline FloatLanes BroadcastLanes(float value) noexcept {
  return FloatLanes{value, value, value, value, value, value, value, value};
}

}  // namespace pmk
