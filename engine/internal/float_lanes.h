// Single-precision lanes computed side by side.
//
// Used where neighbouring outputs are independent sums: every lane performs
// exactly the multiplications and additions of the scalar code, in the same
// order, so the results are bit for bit those of the scalar loop. Nothing is
// reassociated and nothing is fused (the build forbids contraction, and the
// wider variants below do not enable FMA).
//
// Hot loops are written once, as templates on the lane count, and built
// three times: with four lanes for the baseline x86-64 (SSE2), with eight in
// functions marked PMK_AVX2 and with sixteen in functions marked PMK_AVX512,
// each run only where the processor has those instructions (LaneWidth). All
// give the same numbers. What a row leaves after its widest blocks is taken
// in narrower ones (eight, then four lanes) before the scalar tail.
#pragma once

#include <algorithm>
#include <atomic>
#include <cstring>

namespace pmk {

// Four lanes fit the baseline registers; wider vectors there would be split
// and spilled.
inline constexpr int kFloatLanes = 4;
inline constexpr int kWideFloatLanes = 8;
inline constexpr int kWidestFloatLanes = 16;

template <typename T, int N>
struct LaneType {
  typedef T Type __attribute__((vector_size(N * sizeof(T))));
};
template <int N>
using Lanes = typename LaneType<float, N>::Type;
// Doubles side by side, where a sum is kept in double precision.
template <int N>
using DoubleLanes = typename LaneType<double, N>::Type;
using FloatLanes = Lanes<kFloatLanes>;

#define PMK_ALWAYS_INLINE [[gnu::always_inline]] inline
#define PMK_AVX2 __attribute__((target("avx2")))
// Byte, word and quadword forms and the 128- and 256-bit encodings come with
// the 512-bit registers on every processor that has them; FMA is left out.
#define PMK_AVX512 __attribute__((target("avx2,avx512f,avx512bw,avx512dq,avx512vl")))

// The wider helpers are always inlined into PMK_AVX2 or PMK_AVX512
// functions, so no eight- or sixteen-lane value ever crosses a call: the
// baseline's calling convention for such values, which GCC warns about,
// never comes into play.
#pragma GCC diagnostic ignored "-Wpsabi"

template <int N, typename T>
PMK_ALWAYS_INLINE typename LaneType<T, N>::Type LoadLanesOf(const T* p) noexcept {
  typename LaneType<T, N>::Type v;
  std::memcpy(&v, p, sizeof v);
  return v;
}

template <int N>
PMK_ALWAYS_INLINE void StoreLanesOf(float* p, Lanes<N> v) noexcept {
  std::memcpy(p, &v, sizeof v);
}

template <int N, typename T>
PMK_ALWAYS_INLINE typename LaneType<T, N>::Type BroadcastLanesOf(T value) noexcept {
  typename LaneType<T, N>::Type v;
  for (int i = 0; i < N; ++i) v[i] = value;
  return v;
}

PMK_ALWAYS_INLINE FloatLanes LoadLanes(const float* p) noexcept {
  return LoadLanesOf<kFloatLanes>(p);
}
PMK_ALWAYS_INLINE void StoreLanes(float* p, FloatLanes v) noexcept {
  StoreLanesOf<kFloatLanes>(p, v);
}
PMK_ALWAYS_INLINE FloatLanes BroadcastLanes(float value) noexcept {
  return BroadcastLanesOf<kFloatLanes>(value);
}

// The widest lanes the processor runs, asked once: 16 with AVX-512 (F, BW,
// DQ and VL, and the system saving their registers), 8 with AVX2, else 4.
inline int ProcessorLaneWidth() noexcept {
  static const int width = [] {
    if (__builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw") &&
        __builtin_cpu_supports("avx512dq") && __builtin_cpu_supports("avx512vl")) {
      return kWidestFloatLanes;
    }
    return __builtin_cpu_supports("avx2") ? kWideFloatLanes : kFloatLanes;
  }();
  return width;
}

// Test seam: the widest lanes the engine may take (4, 8 or 16), so that
// tests, and a test build's whole-process measurement, can hold the narrower
// variants to the same results on a processor with wider ones.
inline std::atomic<int> MaxLaneWidth{kWidestFloatLanes};

// The lanes to run: the widest that the processor has and MaxLaneWidth
// allows, 16, 8 or 4.
inline int LaneWidth() noexcept {
  const int allowed = MaxLaneWidth.load(std::memory_order_relaxed);
  const int width = ProcessorLaneWidth();
  if (allowed >= kWidestFloatLanes) return width;
  if (allowed >= kWideFloatLanes) return std::min(width, kWideFloatLanes);
  return kFloatLanes;
}

}  // namespace pmk
