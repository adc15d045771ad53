#include "plugin/batch/jpeg_slider_codes.h"

#include <algorithm>

#include "plugin/batch/jpeg_survival_check.h"

namespace pmk {

std::optional<int> JpegSliderValue(int code, int position, int thumb) {
  int value = 0;
  switch (code) {
    case kSliderLineDown:
    case kSliderPageDown:
      value = position - 1;
      break;
    case kSliderLineUp:
    case kSliderPageUp:
      value = position + 1;
      break;
    case kSliderReleased:
    case kSliderDragging:
      value = thumb;
      break;
    default:
      return std::nullopt;
  }
  // Past the ends the slider stays put: a quality of 19 or 101 is never
  // shown, stored or checked.
  return std::clamp(value, kMinJpegCheckQuality, kMaxJpegCheckQuality);
}

bool JpegSliderChecks(int code, int value, int quality) {
  return code == kSliderReleased || (code != kSliderDragging && value != quality);
}

}  // namespace pmk
