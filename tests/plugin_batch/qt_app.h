// The one QApplication of the batch tests (widgets run offscreen).
#pragma once

#include <QApplication>

namespace pmk::testing {

inline QApplication& App() {
  static int argc = 1;
  static char name[] = "plugin_batch_tests";
  static char* argv[] = {name, nullptr};
  // Never destroyed: Qt's input devices must not be torn down by the exit
  // handlers after the platform plug-in has gone.
  static QApplication* app = new QApplication(argc, argv);
  return *app;
}

}  // namespace pmk::testing
