// Moving the picture across the host boundary: one request of the whole
// filter rectangle in each direction, red and blue swapped on the way.
#pragma once

#include "image/image_record.h"
#include "plugin/interface/host_interface.h"

namespace pmk::plugin {

// Whether the host works in the 32-bit coordinates of bigDocumentData.
bool UsesBigDocument(const host_api::FilterRecord& filter);
// Width and height of the filter rectangle in the form the host uses.
void FilterSize(const host_api::FilterRecord& filter, long long& width, long long& height);

// Fetches the host's pixels into `picture` (3 channels, 4 for filter cases
// above 2). Returns advanceState's code, or -108 when the picture buffer
// cannot be had; `picture` is left as it was then.
host_api::OSErr FetchPicture(host_api::FilterRecord& filter, ImageRecord& picture);

// Writes `picture` back to the host; an alpha of 0 or 1 goes back as 1. An
// empty picture sends nothing and returns 0.
host_api::OSErr WriteBackPicture(host_api::FilterRecord& filter, const ImageRecord& picture);

// Continue: empty request rectangles tell the host there is nothing more.
void EndPixelLoop(host_api::FilterRecord& filter);

}  // namespace pmk::plugin
