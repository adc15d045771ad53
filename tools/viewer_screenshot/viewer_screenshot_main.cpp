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
#include <vector>

#include "image/image_files.h"
#include "platform/program_arguments.h"
#include "platform/utf8_path.h"
#include "plugin/viewer/control_skin.h"
#include "plugin/viewer/viewer_window.h"

int main(int argc, char** argv) {
  const std::vector<std::string> arguments = pmk::platform::Utf8Arguments(argc, argv);
  if (arguments.size() != 3 && arguments.size() != 5) {
    std::fprintf(stderr, "usage: PMKViewerShot picture shot.png [width height]\n");
    return 1;
  }
  if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  // The viewer keeps a crash mark in the user's settings: not the user's here.
  QTemporaryDir settings;
  qputenv("XDG_CONFIG_HOME", QDir::toNativeSeparators(settings.path()).toUtf8());
  QApplication application(argc, argv);

  pmk::ImageRecord picture;
  pmk::ImageRecord alpha;
  if (!pmk::LoadImage(pmk::platform::PathFromUtf8(arguments[1]), picture, alpha)) {
    std::fprintf(stderr, "PMKViewerShot: cannot read %s\n", arguments[1].c_str());
    return 2;
  }
  pmk::ConvertTo8BitColour(picture);
  const int width = arguments.size() == 5 ? std::atoi(arguments[3].c_str()) : 1280;
  const int height = arguments.size() == 5 ? std::atoi(arguments[4].c_str()) : 800;

  pmk::ui::SetUpControlSkin();
  int result = 0;
  {
    auto* viewer = new pmk::ui::ViewerWindow(picture);
    viewer->resize(width, height);
    viewer->show();
    QApplication::processEvents();
    viewer->TakeImage();
    QApplication::processEvents();
    if (!viewer->grab().save(QString::fromStdString(arguments[2]))) {
      std::fprintf(stderr, "PMKViewerShot: cannot write %s\n", arguments[2].c_str());
      result = 3;
    }
    delete viewer;
  }
  pmk::ui::ReleaseControlSkin();
  return result;
}
