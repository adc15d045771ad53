// The About selector's modal box, owned by the host's window.
#pragma once

#include "plugin/interface/host_interface.h"

namespace pmk::plugin {

void ShowAboutBox(const host_api::AboutRecord& about);

}  // namespace pmk::plugin
