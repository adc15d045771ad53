// A candidate region: an axis-parallel rectangle in pixels of the plane it was
// found on (right and bottom are the far edges, not the last pixel).
#pragma once

namespace pmk {

struct CandidateRect {
  double x0 = 0.0;  // left
  double y0 = 0.0;  // top
  double x1 = 0.0;  // right
  double y1 = 0.0;  // bottom
};

}  // namespace pmk
