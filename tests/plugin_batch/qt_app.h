// The one QApplication of the batch tests (widgets run offscreen).
#pragma once

#include <QApplication>

namespace pmk::testing {

inline QApplication& App() {
  static int argc = 1;
  static char name[] = "plugin_batch_tests";
  static char* argv[] = {name, nullptr};
  static QApplication app(argc, argv);
  return app;
}

}  // namespace pmk::testing
