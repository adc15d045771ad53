// Stand-in until the plug-in's windows exist: the box closes at once.
#include "plugin/host/about_box.h"

namespace pmk::plugin {

void ShowAboutBox(const host_api::AboutRecord&) {}

}  // namespace pmk::plugin
