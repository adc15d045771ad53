// The drawable as the filter host's document: fetched and written back
// through its GEGL buffer, in R'G'B' or R'G'B'A 8-bit.
#pragma once

#include <libgimp/gimp.h>

#include <string>

#include "plugin/filter_host/enable_condition.h"
#include "plugin/filter_host/filter_host.h"

namespace pmk::gimp {

// Why Pictomarker does not work on this drawable (another mode or precision
// than 8-bit gamma RGB, or not a layer); empty when it does.
std::string DrawableRefusal(gint32 image, gint32 drawable);

// The properties that the filter's enable condition reads. The selection is
// reported absent: the filter works on the whole layer and ignores it.
plugin::DocumentProperties PropertiesOf(gint32 image, gint32 drawable);

// The drawable's pixels, interleaved red, green, blue (, alpha).
plugin::HostDocument ReadDrawable(gint32 drawable);

// Replaces the drawable's pixels with the document's (of the same size and
// channels) as one undo step, over the whole layer whatever is selected.
void WriteDrawable(gint32 image, gint32 drawable, const plugin::HostDocument& document);

}  // namespace pmk::gimp
