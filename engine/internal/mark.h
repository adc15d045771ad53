// What the mark is: the numbers every signed picture depends on.
//
// A region is cut into 16 x 16 cells; each cell's mean over an ellipse in its
// middle, measured through a 7-tap low-pass filter, is steered onto a lattice
// of step 6 whose bin centres 1.5 and 4.5 stand for bits 0 and 1. Signing and
// detection both take these numbers from here, so they cannot drift apart; a
// change to any of them makes every picture signed before it unreadable.
#pragma once

#include <array>

namespace pmk {

// The low-pass filter (single precision, sums to 1): cells are measured
// through it, and the candidate search smooths its guide plane with it.
inline constexpr std::array<float, 7> kLowPassKernel7{0.05f,  0.125f, 0.175f, 0.3f,
                                                      0.175f, 0.125f, 0.05f};

// The bit lattice: a cell value reads as bit 1 when fmod(value, 6) >= 3.
inline constexpr double kLatticeStep = 6.0;
inline constexpr double kBitZeroCentre = 1.5;
inline constexpr double kBitOneCentre = 4.5;

// The cell grid: 16 cells a side, each 1/16 of the region's width and height.
inline constexpr int kCellsPerSide = 16;
inline constexpr int kGridCells = kCellsPerSide * kCellsPerSide;
inline constexpr double kCellFraction = 0.0625;
// The nominal ellipse spans this share of a cell's width and height; the
// mask's ring reaches this many pixels inside and outside it.
inline constexpr double kEllipseShare = 0.75;
inline constexpr double kRingWidth = 2.0;
// A ring pixel is weighed by how many of its 3 x 3 sample points lie inside
// the nominal ellipse.
inline constexpr std::array<double, 3> kRingSubsample{1.0 / 6.0, 0.5, 5.0 / 6.0};

}  // namespace pmk
