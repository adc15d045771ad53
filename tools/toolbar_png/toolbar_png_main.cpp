// Writes the toolbar images named on the command line as FOLDER/NAME.png,
// drawn exactly as the viewer draws them from their SVG sources.
#include <QGuiApplication>
#include <QImage>
#include <cstdio>

#include "plugin/viewer/toolbar_icons.h"

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: %s FOLDER NAME...\n", argv[0]);
    return 2;
  }
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QGuiApplication application(argc, argv);
  const QString folder = QString::fromLocal8Bit(argv[1]);
  for (int i = 2; i < argc; ++i) {
    const QImage image = pmk::ui::ToolbarImage(argv[i]);
    const QString file = folder + '/' + QString::fromLatin1(argv[i]) + ".png";
    if (image.isNull() || !image.save(file, "PNG")) {
      std::fprintf(stderr, "%s: cannot draw %s into %s\n", argv[0], argv[i], qPrintable(file));
      return 1;
    }
  }
  return 0;
}
