// STAND-IN until the sign, progress and result dialogs of the plug-in arrive:
// plain Qt dialogs with the same contract. Deleted when they are merged.
#pragma once

#include <QString>
#include <memory>
#include <string>

#include "plugin/ui/viewer_dialogs.h"

namespace pmk::ui {

int StandinSignDialog(QWidget* viewer, std::string& payload);
std::unique_ptr<WaitingDialog> StandinPleaseWait(QWidget* viewer, int steps, const QString& text);
void StandinResultBox(QWidget* viewer, const QString& text);
void StandinSignFoundBox(QWidget* viewer, const QString& signature);

}  // namespace pmk::ui
