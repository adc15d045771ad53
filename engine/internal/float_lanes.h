// Single-precision lanes computed side by side.
//
// Used where neighbouring outputs are independent sums: every lane performs
// exactly the multiplications and additions of the scalar code, in the same
// order, so the results are bit for bit those of the scalar loop. Nothing is
// reassociated and nothing is fused (the build forbids contraction, and the
// AVX2 variants below do not enable FMA).
//
// Hot loops are written once, as templates on the lane count, and built
// twice: with four lanes for the baseline x86-64 (SSE2) and with eight in
// functions marked PMK_AVX2, which run only where the processor has AVX2
// (HasAvx2). Both give the same numbers.
#pragma once

#include <atomic>
#include <cstring>

namespace pmk {

// Four lanes fit the baseline registers; wider vectors there would be split
// and spilled.
inline constexpr int kFloatLanes = 4;
inline constexpr int kWideFloatLanes = 8;

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

// The eight-lane helpers are always inlined into PMK_AVX2 functions, so no
// eight-lane value ever crosses a call: the baseline's calling convention for
// such values, which GCC warns about, never comes into play.
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

// Test seam: false makes HasAvx2 answer false, so that tests can hold the
// baseline variants to the same results on a machine with AVX2.
inline std::atomic<bool> WideLanesAllowed{true};

// Whether to run the PMK_AVX2 variants: the processor has AVX2 (asked once)
// and tests have not forbidden them.
inline bool HasAvx2() noexcept {
  static const bool has = __builtin_cpu_supports("avx2") != 0;
  return has && WideLanesAllowed.load(std::memory_order_relaxed);
}

}  // namespace pmk
