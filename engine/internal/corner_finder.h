// Harris-type corners with sub-pixel peaks, found tile by tile.
//
// The plane is cut into tiles of about 500 x 500 pixels (plus a 20-pixel
// margin that keeps the filters' borders away from the tile's own area), so
// the working set stays small whatever the picture size. Each tile yields its
// strongest corners; the strongest of all tiles are kept for the whole plane.
#pragma once

#include <cstdint>
#include <limits>

#include "engine/internal/float_lanes.h"
#include "engine/internal/plane_view.h"
#include "image/checked_allocation.h"
#include "image/image_record.h"

namespace pmk {

struct Corner {
  double x = 0;  // plane coordinates, to the right
  double y = 0;  // downwards
  float response = 0;
};

inline constexpr std::int32_t kTileTarget = 500;
inline constexpr std::int32_t kTileMargin = 20;
inline constexpr float kHarrisK = 0.08f;
inline constexpr float kResponseThreshold = 10.0f;
inline constexpr double kCornerBorder = 10.0;
inline constexpr double kMinSquaredDistance = 10.0;
inline constexpr std::uint32_t kCornersKept = 50;

// How a plane is cut into tiles: `columns` x `rows` tiles of `tile_width` x
// `tile_height` (the last column and row may be narrower).
struct TileLayout {
  std::int32_t columns = 0;
  std::int32_t rows = 0;
  std::int32_t tile_width = 0;
  std::int32_t tile_height = 0;
};
TileLayout ComputeTileLayout(std::int32_t width, std::int32_t height) noexcept;

// A tile's own area, bounds included, in the coordinates of the tile copy.
struct InnerBox {
  double x0 = 0;
  double y0 = 0;
  double x1 = 0;
  double y1 = 0;
};

// Sub-pixel peak of the biquadratic through a 3 x 3 neighbourhood
// (`values[row][column]`, the peak in the middle): returns the offsets a, b in
// [0, 2] (1 is the centre) and the polynomial's value there.
struct PeakFit {
  double a = 1;
  double b = 1;
  float response = 0;
};
PeakFit RefinePeak(const float (&values)[3][3]) noexcept;

// The Harris response of a w x h tile, filtered with the search kernels at
// `scale`. `response` receives w * h values and may be the tile itself.
// Returns 0, or 6 when a work buffer cannot be had; tiles below 7 pixels in
// either direction give 1 and no response.
std::uint8_t ComputeResponse(const float* tile, std::int32_t w, std::int32_t h, double scale,
                             float* response) noexcept;

// Corners of one tile copy (w x h floats), strongest first, at most 50,
// inside `inner` and 10 pixels from the tile's edges, no two nearer than the
// minimum distance. Positions are in tile coordinates. Returns 0; 6 when a
// buffer cannot be had (then count is 0).
std::uint8_t FindTileCorners(const float* tile, std::int32_t w, std::int32_t h,
                             const InnerBox& inner, double scale, HeapArray<Corner>& corners,
                             std::uint32_t& count) noexcept;

// Sorts strongest first (ties by position, so the order never depends on the
// sort), then keeps corners in that order that lie at least 10 pixels inside
// a w x h area and at least the minimum distance from every corner kept
// before, up to `limit`. Works in place; returns how many were kept.
std::uint32_t SelectCorners(Corner* corners, std::uint32_t count, double w, double h,
                            std::uint32_t limit) noexcept;

// A range the samples are brought into as they are read: samples below `low`
// become `low`, samples of `high` or more become `high`. The default range
// leaves every sample as it is.
struct SampleClamp {
  float low = -std::numeric_limits<float>::infinity();
  float high = std::numeric_limits<float>::infinity();

  // Copies `count` samples from `in` to `out`, clamped.
  void Copy(float* out, const float* in, std::int32_t count) const noexcept {
    const FloatLanes lows = BroadcastLanes(low);
    const FloatLanes highs = BroadcastLanes(high);
    std::int32_t i = 0;
    for (; i + kFloatLanes <= count; i += kFloatLanes) {
      FloatLanes v = LoadLanes(in + i);
      v = v < lows ? lows : v;
      v = v >= highs ? highs : v;
      StoreLanes(out + i, v);
    }
    for (; i < count; ++i) {
      float v = in[i];
      if (v < low) v = low;
      if (v >= high) v = high;
      out[i] = v;
    }
  }
};

// Up to 50 corners of a one-channel float plane, strongest first. Returns 0,
// or 6 when the work list or the result cannot be had.
std::uint8_t FindCorners(const ImageRecord& plane, double scale, HeapArray<Corner>& corners,
                         std::uint32_t& count) noexcept;

// The same on the plane as `clamp` brings it, without a clamped copy of the
// whole plane: each tile is clamped as it is copied out.
std::uint8_t FindCorners(const ImageRecord& plane, double scale, const SampleClamp& clamp,
                         HeapArray<Corner>& corners, std::uint32_t& count) noexcept;

// The same with the work list and the tile buffers kept in `work`
// (search_work.h) from one plane to the next: the corners are the first
// `count` entries of work.lists[0].
struct CornerWork;
std::uint8_t FindCorners(ConstFloatPlane plane, double scale, const SampleClamp& clamp,
                         CornerWork& work, std::uint32_t& count) noexcept;

// The corners of up to kMostCornerPasses clamped versions of a plane, each
// as FindCorners gives it, in one search: each tile is read from the plane
// once for all of them. Pass p's corners are the first counts[p] entries of
// work.lists[p]; results[p] is 0, or 6 when its work list cannot be had.
inline constexpr int kMostCornerPasses = 2;
void FindCornersOfPasses(ConstFloatPlane plane, double scale, const SampleClamp* clamps, int passes,
                         CornerWork& work, std::uint32_t* counts, std::uint8_t* results) noexcept;

}  // namespace pmk
