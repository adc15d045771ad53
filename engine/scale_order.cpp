#include "engine/internal/scale_order.h"

#include <algorithm>

namespace pmk {

std::array<std::int32_t, 24> ScaleOrder(int n) noexcept {
  switch (n) {
    case 2:
      return {0, 2, 23, 22, 1, 3, 21, 20, 4, 5, 19, 18, 6, 7, 17, 16, 8, 9, 15, 14, 10, 11, 13, 12};
    case 3:
      return {14, 2, 21, 0, 13, 1, 23, 4, 8, 6, 7, 18, 9, 16, 15, 17, 10, 12, 20, 19, 5, 3, 22, 11};
    case 4:
      return {0, 2, 21, 20, 15, 14, 6, 7, 23, 22, 1, 3, 4, 5, 13, 12, 19, 18, 10, 11, 8, 9, 17, 16};
    case 5:
      return {0, 1, 2, 9, 18, 23, 22, 15, 14, 10, 17, 16, 7, 8, 3, 4, 5, 6, 21, 20, 19, 11, 12, 13};
    case 6:
      return {0, 1, 2, 3, 4, 5, 23, 22, 21, 14, 13, 12, 6, 7, 8, 9, 10, 11, 17, 16, 15, 20, 19, 18};
    case 7:
      return {0, 1, 2, 3, 4, 5, 6, 23, 22, 21, 20, 19, 18, 17, 7, 8, 9, 10, 11, 12, 13, 16, 15, 14};
    case 8:
      return {0, 1, 2, 3, 4, 5, 6, 7, 23, 22, 21, 20, 19, 18, 17, 16, 8, 9, 10, 11, 12, 13, 14, 15};
    case 9:
      return {0, 1, 2, 3, 4, 5, 6, 7, 8, 23, 22, 21, 20, 19, 18, 17, 16, 15, 9, 10, 11, 12, 13, 14};
    case 10:
      return {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 23, 22, 21, 20, 19, 18, 17, 16, 15, 14, 10, 11, 12, 13};
    case 11:
      return {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 23, 22, 21, 20, 19, 18, 17, 16, 15, 14, 13, 11, 12};
    default:
      return {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 23, 22, 21, 20, 19, 18, 17, 16, 15, 14, 13, 12};
  }
}

std::array<std::int32_t, 12> ScaleOrder12(int n) noexcept {
  switch (n) {
    case 2:
      return {0, 9, 1, 11, 4, 7, 6, 5, 8, 3, 10, 2};
    case 3:
      return {0, 9, 4, 5, 3, 7, 6, 10, 2, 11, 1, 8};
    case 4:
      return {0, 9, 2, 11, 7, 3, 5, 4, 8, 1, 10, 6};
    case 5:
      return {0, 11, 2, 6, 4, 10, 8, 7, 3, 5, 9, 1};
    case 6:
      return {0, 10, 9, 3, 7, 5, 11, 1, 2, 8, 4, 6};
    default:
      return {0, 11, 1, 10, 2, 9, 3, 8, 4, 7, 5, 6};
  }
}

std::int32_t SeriesScaleCount(DetectionMode mode) noexcept {
  return mode == DetectionMode::kPreSigning ? kPreSigningScaleCount : kDetectionScaleCount;
}

std::array<std::int32_t, 24> SeriesScaleOrder(DetectionMode mode, int n) noexcept {
  std::array<std::int32_t, 24> order{};
  if (mode == DetectionMode::kPreSigning) {
    const std::array<std::int32_t, 12> short_order = ScaleOrder12(n);
    std::copy(short_order.begin(), short_order.end(), order.begin());
  } else {
    order = ScaleOrder(n);
  }
  return order;
}

}  // namespace pmk
