// The Harris response of a tile, made row by row.
//
// Smoothing, differences, their products, the second smoothing and the
// response each need only a few rows of the stage before them, so the tile
// streams through rings of rows that stay in the first- and second-level
// caches, instead of through six tile-sized planes that do not. Every sample
// is the same number the plane-at-a-time computation gives: the same sums in
// the same tap order, the same products, the same edge copies.
#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>

#include "engine/internal/corner_finder.h"
#include "image/checked_allocation.h"

namespace pmk {

// Where a tile's samples come from: row y (0 .. height - 1) of the tile is
// `width` samples from `first` + y * stride on, brought into `clamp`.
struct TileSource {
  const float* first = nullptr;
  std::ptrdiff_t stride = 0;
  std::int32_t width = 0;
  std::int32_t height = 0;
  SampleClamp clamp;
};

// Floats of work rows a tile of `width` needs.
inline constexpr std::size_t kResponseWorkRows = 31;
inline constexpr std::size_t ResponseWorkFloats(std::int32_t width) noexcept {
  return kResponseWorkRows * static_cast<std::size_t>(width);
}

class ResponseRows {
 public:
  // `work` holds ResponseWorkFloats(source.width) floats; the source is at
  // least 7 samples in each direction.
  ResponseRows(const TileSource& source, double scale, float* work) noexcept;

  // Row y of the response (0 .. height - 1). Rows are asked in rising order;
  // a row stays valid until a row two or more below it is asked.
  const float* Row(std::int32_t y) noexcept;

  // Rows y - 1, y and y + 1 of the response (1 <= y <= height - 2), for y in
  // rising order.
  void Around(std::int32_t y, const float*& above, const float*& here,
              const float*& below) noexcept;

 private:
  // A ring of rows computed in rising order; `next` is the first not yet made.
  struct Ring {
    float* rows = nullptr;
    std::int32_t size = 0;
    std::int32_t next = 0;
    float* At(std::int32_t y, std::int32_t width) const noexcept {
      return rows + static_cast<std::ptrdiff_t>(y % size) * width;
    }
    // Makes the rows first .. last not made yet, each by make_row(y).
    // Requests come in rising order, so rows below `first` are never needed
    // again and are skipped.
    template <class MakeRow>
    void Fill(std::int32_t first, std::int32_t last, MakeRow make_row) noexcept {
      for (std::int32_t y = std::max(next, first); y <= last; ++y) make_row(y);
      next = std::max(next, last + 1);
    }
  };

  void MakeSmoothedInputRows(std::int32_t first, std::int32_t last) noexcept;
  void MakeSmoothedRows(std::int32_t first, std::int32_t last) noexcept;
  void MakeProductRows(std::int32_t first, std::int32_t last) noexcept;
  void MakeResponseRows(std::int32_t first, std::int32_t last) noexcept;

  TileSource source_;
  std::array<float, 7> taps7_{};
  std::array<float, 5> taps5_{};
  float* clamped_ = nullptr;  // one source row, clamped
  float* ix_ = nullptr;       // differences of one row, then its products
  float* iy_ = nullptr;
  float* ixy_ = nullptr;
  Ring across7_;    // rows after the 7-tap pass along the row
  Ring smoothed_;   // smoothed rows, by the index of the full row they copy
  Ring across_xx_;  // products after the 5-tap pass along the row
  Ring across_xy_;
  Ring across_yy_;
  Ring response_;  // by the index of the full row they copy
};

}  // namespace pmk
