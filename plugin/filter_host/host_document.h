// Between picture files and the host's document.
#pragma once

#include "image/image_record.h"
#include "plugin/filter_host/enable_condition.h"
#include "plugin/filter_host/filter_host.h"

namespace pmk::plugin {

// Interleaves a blue-green-red picture (8 bits) and its alpha plane, if any,
// into the editor's red-green-blue(-alpha) document.
bool DocumentFromPicture(const ImageRecord& colour, const ImageRecord& alpha,
                         HostDocument& document);
// The reverse; `alpha` is left empty for a three-channel document.
bool PictureFromDocument(const HostDocument& document, ImageRecord& colour, ImageRecord& alpha);

// The properties that the enable condition reads, for a loaded picture.
DocumentProperties PropertiesOf(const ImageRecord& colour);

}  // namespace pmk::plugin
