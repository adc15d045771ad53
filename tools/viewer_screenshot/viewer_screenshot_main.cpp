// PMKViewerShot: opens the plug-in's viewer over a picture file without a
// display (Qt's offscreen platform), and saves what the window shows.
//
//   PMKViewerShot picture.png shot.png [width height]
#include <QApplication>
#include <QDir>
#include <QPixmap>
#include <QTemporaryDir>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "image/image_files.h"
#include "plugin/viewer/control_skin.h"
#include "plugin/viewer/viewer_window.h"

int main(int argc, char** argv) {
  if (argc != 3 && argc != 5) {
    std::fprintf(stderr, "usage: PMKViewerShot picture shot.png [width height]\n");
    return 1;
  }
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  // The viewer keeps a crash mark in the user's settings: not the user's here.
  QTemporaryDir settings;
  setenv("XDG_CONFIG_HOME", QDir::toNativeSeparators(settings.path()).toLocal8Bit().constData(), 1);
  QApplication application(argc, argv);

  pmk::ImageRecord picture;
  pmk::ImageRecord alpha;
  if (!pmk::LoadImage(argv[1], picture, alpha)) {
    std::fprintf(stderr, "PMKViewerShot: cannot read %s\n", argv[1]);
    return 2;
  }
  pmk::ConvertTo8BitColour(picture);
  const int width = argc == 5 ? std::atoi(argv[3]) : 1280;
  const int height = argc == 5 ? std::atoi(argv[4]) : 800;

  pmk::ui::SetUpControlSkin();
  int result = 0;
  {
    auto* viewer = new pmk::ui::ViewerWindow(picture);
    viewer->resize(width, height);
    viewer->show();
    QApplication::processEvents();
    viewer->TakeImage();
    QApplication::processEvents();
    if (!viewer->grab().save(QString::fromLocal8Bit(argv[2]))) {
      std::fprintf(stderr, "PMKViewerShot: cannot write %s\n", argv[2]);
      result = 3;
    }
    delete viewer;
  }
  pmk::ui::ReleaseControlSkin();
  return result;
}
