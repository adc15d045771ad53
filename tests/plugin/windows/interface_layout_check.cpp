// Compiled for Windows x64 by the cross compiler (a CTest case), so that the
// interface layout pinned in host_interface_layout.h is checked under the
// Windows compiler's own layout rules, and the property list's resource form
// builds there too.
#include "plugin/interface/host_interface_layout.h"
#include "plugin/interface/property_list_bytes.h"

#ifndef _WIN64
#error "this check is meant for a Windows x64 compiler"
#endif

static_assert(pmk::plugin::BuildPropertyList(pmk::plugin::PropertyListForm::kWindowsResource)
                  .bytes[0] == pmk::plugin::kWindowsResourceReservedWord);
