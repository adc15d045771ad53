// Single-precision lanes computed side by side: four with the baseline SSE2
// registers, eight where the build targets AVX.
//
// Used where neighbouring outputs are independent sums: every lane performs
// exactly the multiplications and additions of the scalar code, in the same
// order, so the results are bit for bit those of the scalar loop. Nothing is
// reassociated and nothing is fused (the build forbids contraction).
#pragma once

#include <cstring>

namespace pmk {

#if defined(__AVX__)
inline constexpr int kFloatLanes = 8;
#else
inline constexpr int kFloatLanes = 4;
#endif
using FloatLanes = float __attribute__((vector_size(kFloatLanes * sizeof(float))));

inline FloatLanes LoadLanes(const float* p) noexcept {
  FloatLanes v;
  std::memcpy(&v, p, sizeof v);
  return v;
}

inline void StoreLanes(float* p, FloatLanes v) noexcept {
  std::memcpy(p, &v, sizeof v);
}

inline FloatLanes BroadcastLanes(float value) noexcept {
  FloatLanes v;
  for (int i = 0; i < kFloatLanes; ++i) v[i] = value;
  return v;
}

}  // namespace pmk
