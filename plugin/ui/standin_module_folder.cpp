// STAND-IN: see standin_module_folder.h.
#include "plugin/ui/standin_module_folder.h"

#include <QCoreApplication>

namespace pmk::ui {

QString StandinPluginFolder() {
  return QCoreApplication::applicationDirPath();
}

}  // namespace pmk::ui
