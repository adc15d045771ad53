// The web layer's transform: the orthonormal 256-point DCT-II of the
// canonical picture, of which only the low corner (frequencies below
// kBandEdge on each axis) is ever computed, in double precision.
#pragma once

#include <cstdint>

#include "engine/internal/web_canonical.h"
#include "image/checked_allocation.h"

namespace pmk::web {

// Frequencies 0 .. kBandEdge - 1 per axis hold the band.
inline constexpr std::int32_t kBandEdge = 41;
inline constexpr std::int32_t kBlockSize = kBandEdge * kBandEdge;

// Rows 0 .. kBandEdge - 1 of the DCT matrix, kCanonicalSide values each.
bool DctRows(HeapArray<double>& rows) noexcept;

// The DCT rows composed with the taps that make the canonical picture along
// one axis: kBandEdge rows of `sources` values, so that a
// band block is (down operator) * plane * (across operator)^T.
bool AxisOperator(const HeapArray<double>& rows, const AxisTaps& taps, std::int32_t sources,
                  HeapArray<double>& op) noexcept;

// The band block [u][v] (u the vertical frequency) of `plane` through the two
// axis operators. `scratch` holds kBandEdge * plane.width doubles.
void BlockOf(const FloatPlane& plane, const double* down, const double* across, double* scratch,
             double* block) noexcept;

// Block of a kCanonicalSide squared plane of doubles, and back: the plane
// whose DCT is the block, zero elsewhere. `scratch` holds
// kBandEdge * kCanonicalSide doubles.
void ForwardBlock(const double* rows, const double* plane, double* scratch, double* block) noexcept;
void InverseBlock(const double* rows, const double* block, double* scratch, double* plane) noexcept;

}  // namespace pmk::web
