// STAND-IN: see standin_plugin_settings.h.
#include "plugin/ui/standin_plugin_settings.h"

#include <QCoreApplication>

namespace pmk::ui {

namespace {
bool crash_mark = false;
}

bool StandinTakeCrashMark() {
  const bool crashed = crash_mark;
  crash_mark = true;
  return crashed;
}

void StandinMarkOrderlyClose() {
  crash_mark = false;
}

QString StandinShortenerBaseAddress() {
  return QStringLiteral("https://pmk.li");
}

}  // namespace pmk::ui

namespace pmk::ui {

QUrl StandinProductPage() {
  return QUrl::fromLocalFile(QCoreApplication::applicationDirPath() + QStringLiteral("/README.md"));
}

}  // namespace pmk::ui
