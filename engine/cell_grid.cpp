#include "engine/internal/cell_grid.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>

#include "engine/internal/exact_cell_sums.h"
#include "engine/internal/float_lanes.h"

namespace pmk {
namespace {

// dx^2 / a^2 + dy^2 / b^2 < 1; an ellipse with a zero semi-axis has no inside.
bool InsideEllipse(double dx, double dy, double a, double b) noexcept {
  const double a2 = a * a;
  const double b2 = b * b;
  if (a2 == 0.0 || b2 == 0.0) return false;
  return dx * dx / a2 + dy * dy / b2 < 1.0;
}

// The nominal ellipse of a cell: dx^2 + k dy^2 < ex2.
struct NominalEllipse {
  double ex2 = 0;
  double k = 0;
};

NominalEllipse MakeNominalEllipse(double cell_width, double cell_height) noexcept {
  const double ex = kEllipseShare * cell_width * 0.5;
  const double ey = kEllipseShare * cell_height * 0.5;
  const double ex2 = ex * ex;
  const double ey2 = ey * ey;
  // A zero-height ellipse has no ring pixels to weigh, so k is never used.
  return {ex2, ey2 != 0.0 ? ex2 / ey2 : 0.0};
}

}  // namespace

CellGrid MakeCellGrid(const CandidateRect& rect) noexcept {
  CellGrid grid;
  grid.left = static_cast<std::int32_t>(std::trunc(rect.x0));
  grid.top = static_cast<std::int32_t>(std::trunc(rect.y0));
  grid.right = static_cast<std::int32_t>(std::ceil(rect.x1));
  grid.bottom = static_cast<std::int32_t>(std::ceil(rect.y1));
  grid.cell_width = (rect.x1 - rect.x0) * kCellFraction;
  grid.cell_height = (rect.y1 - rect.y0) * kCellFraction;
  grid.origin_x = rect.x0 - grid.left;
  grid.origin_y = rect.y0 - grid.top;
  return grid;
}

CellGrid ShiftCellGrid(const CellGrid& grid, std::int32_t left, std::int32_t top) noexcept {
  CellGrid shifted = grid;
  shifted.left -= left;
  shifted.right -= left;
  shifted.top -= top;
  shifted.bottom -= top;
  return shifted;
}

std::array<CellCentre, 256> CellCentres(const CellGrid& grid) noexcept {
  std::array<CellCentre, 256> centres{};
  const double u = grid.cell_width;
  const double v = grid.cell_height;
  const double fx = grid.origin_x;
  const double fy = grid.origin_y;
  for (int r = 0; r < kCellsPerSide; ++r) {
    for (int q = 0; q < kCellsPerSide; ++q) {
      CellCentre& c = centres[kCellsPerSide * r + q];
      c.x = ((fx + q * u) + (fx + (q + 1) * u)) * 0.5;
      c.y = ((fy + r * v) + (fy + (r + 1) * v)) * 0.5;
    }
  }
  return centres;
}

PasteCorner CellPasteCorner(const CellGrid& grid, int row, int column) noexcept {
  return {static_cast<std::int32_t>(std::trunc(column * grid.cell_width + grid.origin_x)),
          static_cast<std::int32_t>(std::trunc(row * grid.cell_height + grid.origin_y))};
}

namespace {

void FillCellMask(double cell_width, double cell_height, PlaneView<std::uint16_t> mask) noexcept {
  const double hx = cell_width * 0.5;
  const double hy = cell_height * 0.5;
  const double ax = hx - 0.25 * hx;
  const double ay = hy - 0.25 * hy;
  for (std::int32_t j = 0; j < mask.height; ++j) {
    std::uint16_t* row = mask.Row(j);
    const double dy = j - hy;
    for (std::int32_t i = 0; i < mask.width; ++i) {
      const double dx = i - hx;
      std::uint16_t value = 0;
      if (InsideEllipse(dx, dy, ax - kRingWidth, ay - kRingWidth)) {
        value = 2;
      } else if (InsideEllipse(dx, dy, ax + kRingWidth, ay + kRingWidth)) {
        value = 1;
      }
      row[i] = value;
    }
  }
}

}  // namespace

std::uint8_t BuildCellMask(double cell_width, double cell_height, ImageRecord& mask) noexcept {
  const auto width = static_cast<std::int32_t>(std::ceil(cell_width));
  const auto height = static_cast<std::int32_t>(std::ceil(cell_height));
  if (mask.Allocate(width, height, 1, 16) != kResultOk) {
    mask.Release();
    return kResultNoMemory;
  }
  FillCellMask(cell_width, cell_height, {mask.Row<std::uint16_t>(0), width, height});
  return kResultOk;
}

std::size_t CellMaskValues(double cell_width, double cell_height) noexcept {
  const auto width = static_cast<std::int32_t>(std::ceil(cell_width));
  const auto height = static_cast<std::int32_t>(std::ceil(cell_height));
  return std::max<std::size_t>(static_cast<std::size_t>(width) * static_cast<std::size_t>(height),
                               1);
}

ConstMaskPlane FillCellMaskAt(double cell_width, double cell_height,
                              std::uint16_t* values) noexcept {
  const auto width = static_cast<std::int32_t>(std::ceil(cell_width));
  const auto height = static_cast<std::int32_t>(std::ceil(cell_height));
  FillCellMask(cell_width, cell_height, {values, width, height});
  return {values, width, height};
}

std::uint8_t BuildCellMask(double cell_width, double cell_height, HeapArray<std::uint16_t>& buffer,
                           ConstMaskPlane& mask) noexcept {
  // A mask of no values still gets a buffer, as a record of that size does.
  if (!EnsureCapacity(buffer, CellMaskValues(cell_width, cell_height))) {
    mask = {};
    return kResultNoMemory;
  }
  mask = FillCellMaskAt(cell_width, cell_height, buffer.data());
  return kResultOk;
}

std::uint8_t BuildLabelMap(const CellGrid& grid, const ImageRecord& mask,
                           ImageRecord& labels) noexcept {
  const std::int32_t width = grid.BoxWidth();
  const std::int32_t height = grid.BoxHeight();
  if (width < 0 || height < 0) {
    labels.Release();
    return kResultRefused;
  }
  if (labels.Allocate(width, height, 1, 16) != kResultOk) {
    labels.Release();
    return kResultNoMemory;
  }
  for (std::int32_t y = 0; y < height; ++y) {
    std::memset(labels.Row<std::uint16_t>(y), 0, static_cast<std::size_t>(width) * 2);
  }
  const std::int32_t mask_width = mask.width();
  const std::int32_t mask_height = mask.height();
  for (int r = 0; r < kCellsPerSide; ++r) {
    for (int q = 0; q < kCellsPerSide; ++q) {
      const auto offset = static_cast<std::uint16_t>(2 * (kCellsPerSide * r + q));
      const PasteCorner at = CellPasteCorner(grid, r, q);
      for (std::int32_t j = 0; j < mask_height; ++j) {
        const std::int32_t y = at.y + j;
        if (y < 0 || y >= height) continue;
        const auto* in = mask.Row<std::uint16_t>(j);
        auto* out = labels.Row<std::uint16_t>(y);
        for (std::int32_t i = 0; i < mask_width; ++i) {
          const std::int32_t x = at.x + i;
          if (x < 0 || x >= width) continue;
          out[x] = in[i] == 0 ? 0 : static_cast<std::uint16_t>(in[i] + offset);
        }
      }
    }
  }
  return kResultOk;
}

void RefineLabelMap(ImageRecord& labels, const std::array<CellCentre, 256>& centres,
                    double cell_width, double cell_height) noexcept {
  if (labels.channels() != 1 || labels.bits() != 16) return;
  const NominalEllipse ellipse = MakeNominalEllipse(cell_width, cell_height);
  for (std::int32_t y = 0; y < labels.height(); ++y) {
    auto* label_row = labels.Row<std::uint16_t>(y);
    for (std::int32_t x = 0; x < labels.width(); ++x) {
      const std::uint16_t l = label_row[x];
      if (l % 2 == 0 || l > 2 * kGridCells) continue;
      const CellCentre& c = centres[(l - 1) / 2];
      int inside = 0;
      for (double sy : kRingSubsample) {
        const double dy = y + sy - c.y;
        for (double sx : kRingSubsample) {
          const double dx = x + sx - c.x;
          if (dx * dx + ellipse.k * (dy * dy) < ellipse.ex2) ++inside;
        }
      }
      if (inside == 0) {
        label_row[x] = 0;
      } else if (inside == 9) {
        label_row[x] = static_cast<std::uint16_t>(l + 1);
      }
    }
  }
}

namespace {

// The sixteen cells of a grid row side by side, G to a vector (four, or
// eight where the 512-bit registers are taken), in kGroups groups: cell q is
// lane q % G of group q / G. Each lane does its own cell's arithmetic, so the
// grouping never changes a sum.
template <int G>
struct CellVectors {
  static_assert(G == 4 || G == 8);
  static constexpr int kGroups = kCellsPerSide / G;
  using Sums = DoubleLanes<G>;
  using Samples = Lanes<G>;
  using Indices = typename LaneType<std::int32_t, G>::Type;
  using Flags = typename LaneType<std::int64_t, G>::Type;
};

// Four pixels (i .. i + 3) of four cells, one cell per vector, turned into
// one pixel per vector, the four cells in its lanes.
PMK_ALWAYS_INLINE void TransposeSamples(FloatLanes& a, FloatLanes& b, FloatLanes& c,
                                        FloatLanes& d) noexcept {
  const FloatLanes ab_low = __builtin_shufflevector(a, b, 0, 4, 1, 5);
  const FloatLanes cd_low = __builtin_shufflevector(c, d, 0, 4, 1, 5);
  const FloatLanes ab_high = __builtin_shufflevector(a, b, 2, 6, 3, 7);
  const FloatLanes cd_high = __builtin_shufflevector(c, d, 2, 6, 3, 7);
  a = __builtin_shufflevector(ab_low, cd_low, 0, 1, 4, 5);
  b = __builtin_shufflevector(ab_low, cd_low, 2, 3, 6, 7);
  c = __builtin_shufflevector(ab_high, cd_high, 0, 1, 4, 5);
  d = __builtin_shufflevector(ab_high, cd_high, 2, 3, 6, 7);
}

// Pixels i .. i + 3 of the G cells pasted at at[0 .. G - 1]: one vector per
// pixel, the cells in its lanes. Each cell's four are read as one vector and
// the vectors turned, four cells at a time.
template <int G>
PMK_ALWAYS_INLINE void PixelsOfCells(const float* row, const std::int32_t* at, std::int32_t i,
                                     Lanes<G> (&pixels)[4]) noexcept {
  if constexpr (G == 4) {
    for (int l = 0; l < 4; ++l) pixels[l] = LoadLanes(row + at[l] + i);
    TransposeSamples(pixels[0], pixels[1], pixels[2], pixels[3]);
  } else {
    FloatLanes low[4];
    FloatLanes high[4];
    PixelsOfCells<4>(row, at, i, low);
    PixelsOfCells<4>(row, at + 4, i, high);
    for (int k = 0; k < 4; ++k) {
      pixels[k] = __builtin_shufflevector(low[k], high[k], 0, 1, 2, 3, 4, 5, 6, 7);
    }
  }
}

// The inner pixels i0 .. i1 - 1 of one mask row for the 16 cells of a grid
// row: each adds 9 p (a single-precision product) to its cell's sum. G
// cells share a vector lane by lane; each lane adds its own cell's pixels in
// ascending order, so every sum is the one of adding them one by one. Pixels
// a cell does not own (beyond its end) are added after the common part.
template <int G, bool Exact>
PMK_ALWAYS_INLINE void AddInnerRunLanes(const float* row, const std::int32_t* paste_x,
                                        const std::int32_t* end_x, std::int32_t i0, std::int32_t i1,
                                        double* sum, std::uint32_t* count) noexcept {
  using V = CellVectors<G>;
  std::int32_t common = i1;
  std::array<std::int32_t, kCellsPerSide> own_end{};
  for (int q = 0; q < kCellsPerSide; ++q) {
    own_end[q] = std::max(std::min(i1, end_x[q] - paste_x[q]), i0);
    common = std::min(common, own_end[q]);
    count[q] += 9u * static_cast<std::uint32_t>(own_end[q] - i0);
  }
  typename V::Sums lanes[V::kGroups];
  std::memcpy(lanes, sum, sizeof lanes);
  const typename V::Samples nine = BroadcastLanesOf<G>(9.0f);
  std::int32_t i = i0;
  for (; i + 4 <= common; i += 4) {
#pragma GCC unroll 4
    for (int g = 0; g < V::kGroups; ++g) {
      typename V::Samples p[4];
      PixelsOfCells<G>(row, paste_x + G * g, i, p);
      using Sums = typename V::Sums;
      const Sums a0 = __builtin_convertvector(nine * p[0], Sums);
      const Sums a1 = __builtin_convertvector(nine * p[1], Sums);
      const Sums a2 = __builtin_convertvector(nine * p[2], Sums);
      const Sums a3 = __builtin_convertvector(nine * p[3], Sums);
      if constexpr (Exact) {
        // No addition rounds: pairs first, half as long a chain.
        lanes[g] += (a0 + a1) + (a2 + a3);
      } else {
        lanes[g] += a0;
        lanes[g] += a1;
        lanes[g] += a2;
        lanes[g] += a3;
      }
    }
  }
  for (; i < common; ++i) {
#pragma GCC unroll 4
    for (int g = 0; g < V::kGroups; ++g) {
      const std::int32_t* at = paste_x + G * g;
      typename V::Samples p;
      for (int l = 0; l < G; ++l) p[l] = row[at[l] + i];
      lanes[g] += __builtin_convertvector(nine * p, typename V::Sums);
    }
  }
  std::memcpy(sum, lanes, sizeof lanes);
  for (int q = 0; q < kCellsPerSide; ++q) {
    for (std::int32_t k = common; k < own_end[q]; ++k) {
      sum[q] += static_cast<double>(9.0f * row[paste_x[q] + k]);
    }
  }
}

// What the ring pixels of one run share: the sums being added to, and the
// cells' geometry as vectors.
template <int G>
struct RingLanes {
  using V = CellVectors<G>;
  typename V::Sums lanes[V::kGroups];
  typename V::Sums row_part[3];
  typename V::Sums offset[3];
  typename V::Sums limit;
  typename V::Sums cx[V::kGroups];
  typename V::Sums left[V::kGroups];   // the cells' paste columns, exactly as doubles
  typename V::Flags span[V::kGroups];  // how many columns from its paste column a cell owns
  typename V::Flags counted[V::kGroups];
};

// Ring pixel j of the 16 cells. `AllOwned`: every cell owns column j, so no
// cell's column needs clearing.
template <int G, bool Refined, bool AllOwned, bool Exact>
PMK_ALWAYS_INLINE void AddRingPixelLanes(RingLanes<G>& ring, const float* row,
                                         const std::int32_t* paste_x, std::int32_t j) noexcept {
  using V = CellVectors<G>;
  using Sums = typename V::Sums;
  using Flags = typename V::Flags;
  using Samples = typename V::Samples;
  const Sums zero = BroadcastLanesOf<G>(0.0);
  // The groups' additions are independent chains, interleaved.
  Flags adds[V::kGroups];
  Sums p[V::kGroups];
  [[maybe_unused]] Flags most = BroadcastLanesOf<G>(std::int64_t{0});
  const Flags column_flags = BroadcastLanesOf<G>(std::int64_t{j});
  const Sums column = BroadcastLanesOf<G>(static_cast<double>(j));
#pragma GCC unroll 4
  for (int g = 0; g < V::kGroups; ++g) {
    const std::int32_t* at = paste_x + G * g;
    Flags owned = BroadcastLanesOf<G>(std::int64_t{-1});
    Samples sample;
    if constexpr (AllOwned) {
#pragma GCC unroll 8
      for (int l = 0; l < G; ++l) sample[l] = row[at[l] + j];
    } else {
      owned = column_flags < ring.span[g];
      // A cell's columns past its end are not read: its own first column
      // stands in, and the owned mask clears it.
#pragma GCC unroll 8
      for (int l = 0; l < G; ++l) sample[l] = row[at[l] + (owned[l] != 0 ? j : 0)];
      const typename V::Indices keep = __builtin_convertvector(owned, typename V::Indices);
      typename V::Indices bits;
      std::memcpy(&bits, &sample, sizeof bits);
      bits &= keep;
      std::memcpy(&sample, &bits, sizeof bits);
    }
    const Sums x = ring.left[g] + column;
    Sums dx2[3];
#pragma GCC unroll 3
    for (int b = 0; b < 3; ++b) {
      const Sums dx = (x + ring.offset[b]) - ring.cx[g];
      dx2[b] = dx * dx;
    }
    Flags outside = BroadcastLanesOf<G>(std::int64_t{0});  // minus the points inside
#pragma GCC unroll 3
    for (int a = 0; a < 3; ++a) {
#pragma GCC unroll 3
      for (int b = 0; b < 3; ++b) outside += dx2[b] + ring.row_part[a] < ring.limit;
    }
    const Flags inside = AllOwned ? -outside : -outside & owned;
    ring.counted[g] += inside;
    adds[g] = inside;
    p[g] = __builtin_convertvector(sample, Sums);
    if constexpr (Refined) {
      const Samples nine = BroadcastLanesOf<G>(9.0f);
      const Flags whole = inside == 9;
      adds[g] = whole ? BroadcastLanesOf<G>(std::int64_t{1}) : inside;
      p[g] = whole ? __builtin_convertvector(nine * sample, Sums) : p[g];
      if constexpr (!Exact) most = most > adds[g] ? most : adds[g];
    }
  }
  if constexpr (Exact) {
    // No addition rounds: adding p m times is adding m p, which is exact.
#pragma GCC unroll 4
    for (int g = 0; g < V::kGroups; ++g) {
      ring.lanes[g] += __builtin_convertvector(adds[g], Sums) * p[g];
    }
  } else if constexpr (Refined) {
    // Mostly one addition (a whole pixel) or none: as many steps as needed.
    std::int64_t steps = most[0];
    for (int l = 1; l < G; ++l) steps = std::max(steps, most[l]);
    for (std::int64_t n = 0; n < steps; ++n) {
      const Flags step = BroadcastLanesOf<G>(n);
#pragma GCC unroll 4
      for (int g = 0; g < V::kGroups; ++g) ring.lanes[g] += step < adds[g] ? p[g] : zero;
    }
  } else {
    // Up to nine additions, their number changing from pixel to pixel: a
    // fixed nine steps cost less than a loop the processor cannot predict.
#pragma GCC unroll 9
    for (std::int64_t n = 0; n < 9; ++n) {
      const Flags step = BroadcastLanesOf<G>(n);
#pragma GCC unroll 4
      for (int g = 0; g < V::kGroups; ++g) ring.lanes[g] += step < adds[g] ? p[g] : zero;
    }
  }
}

// The ring pixels j0 .. j1 - 1 of one mask row for the 16 cells of a grid
// row: each pixel counts the nine sample points inside its cell's nominal
// ellipse and adds p once per point. G cells share a vector, lane by lane:
// every lane forms its cell's differences, squares and comparisons as the
// scalar code does, and adds p one point at a time; a lane with fewer points
// adds +0, which leaves a sum that started at +0 unchanged. Read as a
// refined map (`Refined`), a pixel with all nine points inside is an inner
// one: its lane adds 9 p, formed in single precision, once.
template <int G, bool Refined, bool Exact>
PMK_ALWAYS_INLINE void AddRingRunLanes(const float* row, const std::int32_t* paste_x,
                                       const std::int32_t* end_x, const CellCentre* centres,
                                       std::int32_t j0, std::int32_t j1, const double* k_dy2,
                                       double ex2, double* sum, std::uint32_t* count) noexcept {
  using V = CellVectors<G>;
  RingLanes<G> ring;
  std::memcpy(ring.lanes, sum, sizeof ring.lanes);
  ring.limit = BroadcastLanesOf<G>(ex2);
  for (int a = 0; a < 3; ++a) {
    ring.row_part[a] = BroadcastLanesOf<G>(k_dy2[a]);
    ring.offset[a] = BroadcastLanesOf<G>(kRingSubsample[a]);
  }
  // Up to `common` every cell owns its column (cells lose at most their
  // last columns to the next one).
  std::int32_t common = j1;
  for (int g = 0; g < V::kGroups; ++g) {
    for (int l = 0; l < G; ++l) {
      const int q = G * g + l;
      ring.cx[g][l] = centres[q].x;
      ring.left[g][l] = paste_x[q];
      ring.span[g][l] = end_x[q] - paste_x[q];
      ring.counted[g][l] = 0;
      common = std::min(common, end_x[q] - paste_x[q]);
    }
  }
  std::int32_t j = j0;
  for (; j < common; ++j) AddRingPixelLanes<G, Refined, true, Exact>(ring, row, paste_x, j);
  for (; j < j1; ++j) AddRingPixelLanes<G, Refined, false, Exact>(ring, row, paste_x, j);
  std::memcpy(sum, ring.lanes, sizeof ring.lanes);
  for (int g = 0; g < V::kGroups; ++g) {
    for (int l = 0; l < G; ++l) count[G * g + l] += static_cast<std::uint32_t>(ring.counted[g][l]);
  }
}

// Four cells to a vector for the baseline and AVX2 (four doubles fill an
// AVX2 register), eight with the 512-bit registers.
template <bool Refined, bool Exact>
PMK_AVX2 void AddRingRunAvx2(const float* row, const std::int32_t* paste_x,
                             const std::int32_t* end_x, const CellCentre* centres, std::int32_t j0,
                             std::int32_t j1, const double* k_dy2, double ex2, double* sum,
                             std::uint32_t* count) noexcept {
  AddRingRunLanes<4, Refined, Exact>(row, paste_x, end_x, centres, j0, j1, k_dy2, ex2, sum, count);
}

template <bool Refined, bool Exact>
PMK_AVX512 void AddRingRunAvx512(const float* row, const std::int32_t* paste_x,
                                 const std::int32_t* end_x, const CellCentre* centres,
                                 std::int32_t j0, std::int32_t j1, const double* k_dy2, double ex2,
                                 double* sum, std::uint32_t* count) noexcept {
  AddRingRunLanes<8, Refined, Exact>(row, paste_x, end_x, centres, j0, j1, k_dy2, ex2, sum, count);
}

template <bool Refined, bool Exact>
void AddRingRunOf(const float* row, const std::int32_t* paste_x, const std::int32_t* end_x,
                  const CellCentre* centres, std::int32_t j0, std::int32_t j1, const double* k_dy2,
                  double ex2, double* sum, std::uint32_t* count) noexcept {
  switch (LaneWidth()) {
    case kWidestFloatLanes:
      AddRingRunAvx512<Refined, Exact>(row, paste_x, end_x, centres, j0, j1, k_dy2, ex2, sum,
                                       count);
      break;
    case kWideFloatLanes:
      AddRingRunAvx2<Refined, Exact>(row, paste_x, end_x, centres, j0, j1, k_dy2, ex2, sum, count);
      break;
    default:
      AddRingRunLanes<4, Refined, Exact>(row, paste_x, end_x, centres, j0, j1, k_dy2, ex2, sum,
                                         count);
  }
}

// How a grid row's sums may be formed: from a fresh or a refined label map,
// and whether its additions are exact (exact_cell_sums.h).
struct RunKind {
  bool refined = false;
  bool exact = false;
};

void AddRingRun(const float* row, const std::array<std::int32_t, kCellsPerSide>& paste_x,
                const std::array<std::int32_t, kCellsPerSide>& end_x, const CellCentre* centres,
                std::int32_t j0, std::int32_t j1, const double* k_dy2, double ex2, RunKind kind,
                std::array<double, kCellsPerSide>& sum,
                std::array<std::uint32_t, kCellsPerSide>& count) noexcept {
  const auto run = [&](auto add) {
    add(row, paste_x.data(), end_x.data(), centres, j0, j1, k_dy2, ex2, sum.data(), count.data());
  };
  if (kind.refined) {
    kind.exact ? run(AddRingRunOf<true, true>) : run(AddRingRunOf<true, false>);
  } else {
    kind.exact ? run(AddRingRunOf<false, true>) : run(AddRingRunOf<false, false>);
  }
}

template <bool Exact>
PMK_AVX2 void AddInnerRunAvx2(const float* row, const std::int32_t* paste_x,
                              const std::int32_t* end_x, std::int32_t i0, std::int32_t i1,
                              double* sum, std::uint32_t* count) noexcept {
  AddInnerRunLanes<4, Exact>(row, paste_x, end_x, i0, i1, sum, count);
}

template <bool Exact>
PMK_AVX512 void AddInnerRunAvx512(const float* row, const std::int32_t* paste_x,
                                  const std::int32_t* end_x, std::int32_t i0, std::int32_t i1,
                                  double* sum, std::uint32_t* count) noexcept {
  AddInnerRunLanes<8, Exact>(row, paste_x, end_x, i0, i1, sum, count);
}

template <bool Exact>
void AddInnerRunOf(const float* row, const std::int32_t* paste_x, const std::int32_t* end_x,
                   std::int32_t i0, std::int32_t i1, double* sum, std::uint32_t* count) noexcept {
  switch (LaneWidth()) {
    case kWidestFloatLanes:
      AddInnerRunAvx512<Exact>(row, paste_x, end_x, i0, i1, sum, count);
      break;
    case kWideFloatLanes:
      AddInnerRunAvx2<Exact>(row, paste_x, end_x, i0, i1, sum, count);
      break;
    default:
      AddInnerRunLanes<4, Exact>(row, paste_x, end_x, i0, i1, sum, count);
  }
}

void AddInnerRun(const float* row, const std::array<std::int32_t, kCellsPerSide>& paste_x,
                 const std::array<std::int32_t, kCellsPerSide>& end_x, std::int32_t i0,
                 std::int32_t i1, RunKind kind, std::array<double, kCellsPerSide>& sum,
                 std::array<std::uint32_t, kCellsPerSide>& count) noexcept {
  if (kind.exact) {
    AddInnerRunOf<true>(row, paste_x.data(), end_x.data(), i0, i1, sum.data(), count.data());
  } else {
    AddInnerRunOf<false>(row, paste_x.data(), end_x.data(), i0, i1, sum.data(), count.data());
  }
}

}  // namespace

void MeasureGridCells(const ImageRecord& plane, const CellGrid& grid, const ImageRecord& mask,
                      const std::array<CellCentre, 256>& centres, CellValues& values,
                      LabelMapState state) noexcept {
  values = CellValues{};
  if (plane.channels() != 1 || plane.bits() != 32 || !plane.HasData() || mask.channels() != 1 ||
      mask.bits() != 16) {
    return;
  }
  MeasureGridCells(FloatPlaneOf(plane), grid,
                   ConstMaskPlane{mask.Row<std::uint16_t>(0), mask.width(), mask.height()}, centres,
                   values, state);
}

bool StartGridMeasurement(GridMeasurement& m, ConstFloatPlane plane, const CellGrid& grid,
                          ConstMaskPlane mask, const std::array<CellCentre, 256>& centres,
                          LabelMapState state) noexcept {
  m.values = CellValues{};
  m.grid_row = kCellsPerSide;
  const std::int32_t width = grid.BoxWidth();
  const std::int32_t height = grid.BoxHeight();
  if (!plane.HasData() || grid.left < 0 || grid.top < 0 || grid.right > plane.width ||
      grid.bottom > plane.height || width <= 0 || height <= 0) {
    return false;
  }
  m.grid = grid;
  m.mask = mask;
  m.centres = centres;
  const NominalEllipse ellipse = MakeNominalEllipse(grid.cell_width, grid.cell_height);
  m.ex2 = ellipse.ex2;
  m.k = ellipse.k;
  m.refined = state == LabelMapState::kRefined;

  // In the label map a pixel carries the mask of the last cell pasted over
  // it, and pastes go row by row, left to right, on a grid whose rows and
  // columns overlap by at most a pixel. So the pixel belongs to the last grid
  // row and the last grid column whose paste reaches it: each cell owns its
  // paste rectangle cut back at the next row's and the next column's corner.
  for (int i = 0; i < kCellsPerSide; ++i) {
    const PasteCorner at = CellPasteCorner(grid, i, i);
    const PasteCorner next = CellPasteCorner(grid, i + 1, i + 1);
    const std::int32_t column_end =
        std::min(at.x + mask.width, i + 1 < kCellsPerSide ? next.x : INT32_MAX);
    m.row_end[i] = std::min(at.y + mask.height, i + 1 < kCellsPerSide ? next.y : INT32_MAX);
    m.paste_x[i] = at.x;
    m.end_x[i] = std::min(column_end, width);
  }
  m.grid_row = -1;
  return true;
}

namespace {

// Stores the values of the grid row being summed and moves on to the next,
// deciding how its sums may be formed.
void NextGridRow(GridMeasurement& m) noexcept {
  if (m.grid_row >= 0) {
    for (int q = 0; q < kCellsPerSide; ++q) {
      if (m.count[q] == 0) continue;
      const int t = kCellsPerSide * m.grid_row + q;
      m.values.value[t] = m.sum[q] / m.count[q];
      m.values.measured[t] = true;
    }
  }
  if (++m.grid_row == kCellsPerSide) return;
  const std::int32_t paste_y = CellPasteCorner(m.grid, m.grid_row, 0).y;
  m.first_y = std::max(paste_y, 0);
  m.y_end = std::min(m.row_end[m.grid_row], m.grid.BoxHeight());
  m.sum = {};
  m.count = {};
  m.exact = ExactSums{};
}

}  // namespace

void AddGridMeasurementRow(GridMeasurement& m, ConstFloatPlane plane, std::int32_t plane_row,
                           const Magnitudes* row_magnitudes) noexcept {
  const std::int32_t y = plane_row - m.grid.top;
  while (m.grid_row < kCellsPerSide && (m.grid_row < 0 || y >= m.y_end)) NextGridRow(m);
  if (m.grid_row == kCellsPerSide || y < m.first_y) return;

  // The 16 cells of a grid row share the mask rows and the centre row, and
  // their sums are independent: they are taken side by side, pixel i of a
  // mask row for each cell in turn. Each cell still adds its own pixels row
  // by row, left to right, the order of the label map, so the sums are those
  // of a pixel-by-pixel walk through the map to the last bit.
  const std::int32_t paste_y = CellPasteCorner(m.grid, m.grid_row, 0).y;
  const std::uint16_t* mask_row = m.mask.Row(y - paste_y);
  const float* row = plane.Row(plane_row) + m.grid.left;
  const CellCentre* row_centres = m.centres.data() + kCellsPerSide * m.grid_row;
  // Every cell of the grid row has the same centre row.
  double k_dy2[3];
  for (int j = 0; j < 3; ++j) {
    const double dy = y + kRingSubsample[j] - row_centres[0].y;
    k_dy2[j] = m.k * (dy * dy);
  }
  const Magnitudes magnitudes =
      row_magnitudes != nullptr ? *row_magnitudes : MagnitudesOf(row, m.grid.BoxWidth());
  const RunKind kind{m.refined, m.exact.AddRow(magnitudes, m.mask.width)};
  // A mask row is runs of equal values: ring, inner, ring for an ellipse.
  // Runs are taken left to right, so each cell still adds its pixels in the
  // row's order.
  std::int32_t i = 0;
  while (i < m.mask.width) {
    const std::uint16_t value = mask_row[i];
    std::int32_t run_end = i + 1;
    while (run_end < m.mask.width && mask_row[run_end] == value) ++run_end;
    if (value == 2) {
      AddInnerRun(row, m.paste_x, m.end_x, i, run_end, kind, m.sum, m.count);
    } else if (value != 0) {
      AddRingRun(row, m.paste_x, m.end_x, row_centres, i, run_end, k_dy2, m.ex2, kind, m.sum,
                 m.count);
    }
    i = run_end;
  }
}

const CellValues& FinishGridMeasurement(GridMeasurement& m) noexcept {
  while (m.grid_row < kCellsPerSide) NextGridRow(m);
  return m.values;
}

void MeasureGridCells(ConstFloatPlane plane, const CellGrid& grid, ConstMaskPlane mask,
                      const std::array<CellCentre, 256>& centres, CellValues& values,
                      LabelMapState state) noexcept {
  GridMeasurement m;
  if (!StartGridMeasurement(m, plane, grid, mask, centres, state)) {
    values = CellValues{};
    return;
  }
  for (std::int32_t y = grid.top; y < grid.bottom; ++y) AddGridMeasurementRow(m, plane, y);
  values = FinishGridMeasurement(m);
}

std::size_t SweepMagnitudeBlocks(std::int32_t width) noexcept {
  return static_cast<std::size_t>(width / kSweepMagnitudeBlock + 1);
}

void SweepGridMeasurements(ConstFloatPlane plane, GridMeasurement* grids, std::uint32_t count,
                           std::uint32_t first, std::uint32_t step, std::int32_t first_row,
                           std::int32_t end_row, Magnitudes* blocks) noexcept {
  for (std::int32_t y = first_row; y < end_row; ++y) {
    const float* row = plane.Row(y);
    if (blocks != nullptr) {
      for (std::int32_t x = 0, b = 0; x < plane.width; x += kSweepMagnitudeBlock, ++b) {
        blocks[b] = MagnitudesOf(row + x, std::min(kSweepMagnitudeBlock, plane.width - x));
      }
    }
    for (std::uint32_t k = first; k < count; k += step) {
      GridMeasurement& m = grids[k];
      if (m.grid_row == kCellsPerSide || y < m.grid.top || y >= m.grid.bottom) continue;
      if (blocks == nullptr) {
        AddGridMeasurementRow(m, plane, y);
        continue;
      }
      Magnitudes box;
      const std::int32_t last = (m.grid.right - 1) / kSweepMagnitudeBlock;
      for (std::int32_t b = m.grid.left / kSweepMagnitudeBlock; b <= last; ++b) {
        box.Merge(blocks[b]);
      }
      AddGridMeasurementRow(m, plane, y, &box);
    }
  }
}

}  // namespace pmk
