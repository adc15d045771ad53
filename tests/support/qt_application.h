// One QApplication for a whole test program, on Qt's offscreen platform
// unless the caller chose another.
#pragma once

#include <QApplication>
#include <cstdlib>

namespace pmk::testing {

inline QApplication& TestApplication() {
  if (std::getenv("QT_QPA_PLATFORM") == nullptr) setenv("QT_QPA_PLATFORM", "offscreen", 1);
  static int argc = 1;
  static char name[] = "plugin_ui_tests";
  static char* argv[] = {name, nullptr};
  static QApplication application(argc, argv);
  return application;
}

}  // namespace pmk::testing
