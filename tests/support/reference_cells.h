// The plain cell measurement, pixel by pixel through a label map: the form
// the engine's one measuring routine (MeasureGridCells) must match to the
// last bit.
#pragma once

#include <array>
#include <cstdint>

#include "engine/internal/cell_grid.h"
#include "engine/internal/mark.h"
#include "image/image_record.h"

namespace pmk {

// Measures the 256 cells of a one-channel float plane of the label map's size
// and refines the map in place (ring pixels wholly outside the nominal ellipse
// become 0, wholly inside become inner pixels), as RefineLabelMap does. A
// plane whose size differs from the map's measures nothing.
inline void MeasureCells(const ImageRecord& plane, ImageRecord& labels,
                         const std::array<CellCentre, 256>& centres, double cell_width,
                         double cell_height, CellValues& values) noexcept {
  values = CellValues{};
  const std::int32_t width = labels.width();
  const std::int32_t height = labels.height();
  if (plane.width() != width || plane.height() != height || plane.channels() != 1 ||
      plane.bits() != 32 || labels.channels() != 1 || labels.bits() != 16) {
    return;
  }
  const double ex = kEllipseShare * cell_width * 0.5;
  const double ey = kEllipseShare * cell_height * 0.5;
  const double ex2 = ex * ex;
  const double ey2 = ey * ey;
  const double k = ey2 != 0.0 ? ex2 / ey2 : 0.0;

  std::array<double, 256> sum{};
  std::array<std::uint32_t, 256> count{};
  for (std::int32_t y = 0; y < height; ++y) {
    const float* row = plane.Row<float>(y);
    auto* label_row = labels.Row<std::uint16_t>(y);
    for (std::int32_t x = 0; x < width; ++x) {
      const std::uint16_t l = label_row[x];
      if (l == 0 || l > 2 * kGridCells) continue;
      const float p = row[x];
      if (l % 2 == 0) {
        const int t = l / 2 - 1;
        count[t] += 9;
        sum[t] += static_cast<double>(9.0f * p);
        continue;
      }
      const int t = (l - 1) / 2;
      const CellCentre& c = centres[t];
      int inside = 0;
      for (double sy : kRingSubsample) {
        const double dy = y + sy - c.y;
        for (double sx : kRingSubsample) {
          const double dx = x + sx - c.x;
          if (dx * dx + k * (dy * dy) < ex2) {
            ++inside;
            sum[t] += p;
          }
        }
      }
      count[t] += static_cast<std::uint32_t>(inside);
      if (inside == 0) {
        label_row[x] = 0;
      } else if (inside == 9) {
        label_row[x] = static_cast<std::uint16_t>(l + 1);
      }
    }
  }
  for (int t = 0; t < kGridCells; ++t) {
    if (count[t] == 0) continue;
    values.value[t] = sum[t] / count[t];
    values.measured[t] = true;
  }
}

}  // namespace pmk
