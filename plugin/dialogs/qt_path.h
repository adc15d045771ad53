// File names between Qt's texts and the file system. QString is Unicode and
// so are both ends; the way goes through UTF-8, never the system's code page.
#pragma once

#include <QString>
#include <filesystem>

#include "platform/utf8_path.h"

namespace pmk::ui {

inline std::filesystem::path PathFromQString(const QString& text) {
  return platform::PathFromUtf8(text.toStdString());
}

inline QString QStringFromPath(const std::filesystem::path& path) {
  return QString::fromStdString(platform::Utf8FromPath(path));
}

}  // namespace pmk::ui
