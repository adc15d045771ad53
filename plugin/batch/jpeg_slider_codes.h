// How the JPEG survival check's slider turns a notification into a quality
// and decides whether to check again.
#pragma once

#include <optional>

namespace pmk {

// The slider's notification codes.
enum JpegSliderCode : int {
  kSliderLineDown = 0,  // one step towards the minimum
  kSliderLineUp = 1,    // one step towards the maximum
  kSliderPageDown = 2,  // a page towards the minimum (one step)
  kSliderPageUp = 3,    // a page towards the maximum (one step)
  kSliderReleased = 4,  // the thumb was let go at `thumb`
  kSliderDragging = 5,  // the thumb is being dragged over `thumb`
};

// The new quality for `code`, given the slider's position before the step
// and the thumb position the notification carries; kept within 20 ... 100.
// Empty for codes outside 0 ... 5, which are ignored.
std::optional<int> JpegSliderValue(int code, int position, int thumb);

// Whether the new value runs a check: a release always does (even on the
// value the drag started from), dragging never, a step when the value changed.
bool JpegSliderChecks(int code, int value, int quality);

}  // namespace pmk
