#include "engine/internal/guide_plane.h"

namespace pmk {

std::uint8_t MakeGuidePlane(ImageRecord& record) noexcept {
  if (record.channels() != 3 || record.bits() != 32 || !record.HasData()) return kResultRefused;
  const std::int32_t width = record.width();
  const std::int32_t height = record.height();
  ImageRecord plane;
  if (plane.Allocate(width, height, 1, 32) != kResultOk) return kResultNoMemory;
  for (std::int32_t y = 0; y < height; ++y) {
    const float* in = record.Row<float>(y);
    float* out = plane.Row<float>(y);
    for (std::int32_t x = 0; x < width; ++x) out[x] = (in[3 * x + 1] + in[3 * x + 2]) * 0.5f;
  }
  record.Swap(plane);
  return kResultOk;
}

}  // namespace pmk
