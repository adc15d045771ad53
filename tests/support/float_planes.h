// Small float planes painted by hand for the search and filter tests.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>

#include "image/image_record.h"

namespace pmk::testing {

// A one-channel float plane of `w` x `h` filled with `value`.
inline ImageRecord MakePlane(int w, int h, float value) {
  ImageRecord plane;
  EXPECT_EQ(plane.Allocate(w, h, 1, 32), kResultOk);
  std::fill(plane.Floats(), plane.Floats() + static_cast<std::size_t>(w) * h, value);
  return plane;
}

// Paints the pixels x0 <= x < x1, y0 <= y < y1.
inline void FillRect(ImageRecord& plane, int x0, int y0, int x1, int y1, float value) {
  for (int y = y0; y < y1; ++y) {
    for (int x = x0; x < x1; ++x) plane.Row<float>(y)[x] = value;
  }
}

}  // namespace pmk::testing
