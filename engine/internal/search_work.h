// Working memory that lives for a whole search.
//
// A picture is searched at up to 24 scales, and every scale needs the same
// kinds of buffers: two rescaled planes, resampling tables, corner-search
// tiles, smoothing rows, cell masks. Obtaining them afresh at every scale made
// a one-shot process map and zero hundreds of megabytes per scale, page by
// page. Each search thread therefore owns one DetectWorkspace, sized for the
// largest scale it will run and reused for every scale; the idle cores it
// borrows (spare_cores.h) use the per-worker buffers of the thread that lent
// them work. Every buffer still comes from TryAllocate.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "engine/internal/candidate_rect.h"
#include "engine/internal/cell_grid.h"
#include "engine/internal/corner_finder.h"
#include "engine/internal/spare_cores.h"
#include "image/checked_allocation.h"

namespace pmk {

// The bilinear taps of one output column when enlarging: fixed for the whole
// picture, since every row walks the same column positions.
struct ColumnTaps {
  std::int32_t s0;
  std::int32_t s1;
  std::int32_t n;  // product table row of the right-hand weight
};

// The span of source samples one output sample covers when reducing. The last
// source sample of the line is never taken; a span that would end up empty
// (only through rounding at factors very close to 1) keeps its first sample.
struct Span {
  std::int32_t first;
  std::int32_t last;  // inclusive
  double first_weight;
};

// Buffers of the resampling: the product table (filled once, its rows
// padded to kPaddedProductRow), the column taps or spans of the present
// scale, and each worker's row sums.
struct ResampleWork {
  HeapArray<double> product_table;
  HeapArray<ColumnTaps> enlarge_columns;
  HeapArray<Span> reduce_columns;
  std::array<HeapArray<double>, kMostParallelThreads> row_sums;
};

// Buffers for every tile of one plane, sized for the largest tile, so that a
// plane of many tiles asks for memory once rather than once per tile: the
// rows the response streams through with each row's range of samples, and
// each pass's peak list, which grows as a tile needs it.
struct TileWork {
  HeapArray<float> floats;
  std::array<HeapArray<Corner>, kMostCornerPasses> peaks;

  bool Fit(std::int32_t width, std::int32_t height) noexcept;
};

// Buffers of the corner search: each pass's work list of every tile's
// corners (its corners first once the search is done) and each worker's
// tile buffers.
struct CornerWork {
  std::array<HeapArray<Corner>, kMostCornerPasses> lists;
  std::array<TileWork, kMostParallelThreads> tiles;
};

// The cell masks and the measurements of every candidate of a scale, which
// are read in one sweep down the plane.
struct CellReadingWork {
  HeapArray<std::uint16_t> masks;
  HeapArray<GridMeasurement> grids;
  HeapArray<Magnitudes> row_blocks;  // each sweeping worker's magnitudes of one row
};

// Everything one search thread reuses from scale to scale.
struct DetectWorkspace {
  HeapArray<float> guide;    // green and red of the rescaled picture
  HeapArray<float> carrier;  // its blue, smoothed in place; unused with one plane
  ResampleWork resample;
  CornerWork corners;
  HeapArray<float> smoothing;  // rows of the carrier's banded filter
  CandidateList candidates;
  CellReadingWork cells;

  // The largest scale the thread will run (0: not known). The planes are
  // obtained at the size of the first scale, and when a later scale needs
  // more, at the size of this one, so that they grow at most once.
  double largest_scale = 0.0;

  // One plane for both: the guide is resampled and searched, and the carrier
  // is then resampled into the same memory (a scale small enough for both
  // planes to fit in it takes them side by side). It halves the planes at the
  // cost of a second resampling pass at the larger scales, which pays where
  // several search threads hold their planes at once; a lone thread keeps
  // both and resamples once.
  bool one_plane = false;

  // Makes both planes (with one_plane, the guide alone) hold `samples` floats; `largest` is the
  // size of the largest scale (0 when not known). False when the memory cannot be had.
  bool FitPlanes(std::size_t samples, std::size_t largest) noexcept;

  // Gives every buffer back; the choice of one plane stays.
  void Release() noexcept {
    const bool keep = one_plane;
    *this = DetectWorkspace{};
    one_plane = keep;
  }
};

}  // namespace pmk
