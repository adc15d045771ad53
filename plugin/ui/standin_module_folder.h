// STAND-IN until the plug-in library's own folder is known from the platform
// layer: the folder of the running program. Deleted when that arrives.
#pragma once

#include <QString>

namespace pmk::ui {

QString StandinPluginFolder();

}  // namespace pmk::ui
