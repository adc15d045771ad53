// The one QApplication of a test program: headless (offscreen) unless the
// environment names another platform, created on first use.
#pragma once

#include <stdlib.h>

#include <QApplication>

namespace pmk::testing {

inline QApplication& TestApplication() {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  static int argc = 1;
  static char name[] = "pictomarker_tests";
  static char* argv[] = {name, nullptr};
  // Never destroyed: Qt's input devices outlive any static application object
  // and would be torn down after it at exit.
  static QApplication* application = new QApplication(argc, argv);
  return *application;
}

}  // namespace pmk::testing
