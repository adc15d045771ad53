// STAND-IN until the plug-in's language table arrives: the English defaults
// of the keys the viewer shows. Deleted when the table is merged.
#pragma once

#include <QString>

namespace pmk::ui {

const QString& LanguageText(int number);

}  // namespace pmk::ui
