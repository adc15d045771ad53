// STAND-IN until the plug-in's settings arrive: the values the viewer needs,
// kept in memory only. Deleted when the settings module is merged.
#pragma once

#include <QString>
#include <QUrl>

namespace pmk::ui {

// Reads the crash mark of the last run and sets it for this one.
bool StandinTakeCrashMark();
// "Crashed Last Time" = "0" on an orderly close.
void StandinMarkOrderlyClose();
// The URL-shortening service's base address.
QString StandinShortenerBaseAddress();
// The product's description page: the README installed beside the plug-in.
QUrl StandinProductPage();

}  // namespace pmk::ui
