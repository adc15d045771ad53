#include <gtest/gtest.h>

#include <QMenu>
#include <QStyle>
#include <QWidget>

#include "plugin/viewer/control_skin.h"
#include "plugin/viewer/toolbar_icons.h"
#include "support/dialog_driving.h"

namespace pmk::ui {
namespace {

TEST(ViewerSkin, SkinsOurWindowsAndLeavesTheApplicationsLookAlone) {
  TestApplication();
  const QString app_style = QApplication::style()->name();
  const QColor app_window = QApplication::palette().color(QPalette::Window);

  SetUpControlSkin();
  QWidget host_window;  // stands for an editor built on Qt
  QWidget viewer;
  QWidget* child = new QWidget(&viewer);
  ApplyControlSkin(&viewer);
  EXPECT_EQ(viewer.style()->name().toLower(), "fusion");
  EXPECT_EQ(child->style(), viewer.style());
  EXPECT_EQ(child->palette().color(QPalette::Window), ControlSkinPalette().color(QPalette::Window));
  // A pop-up made later under the skinned window takes the skin when polished.
  QMenu later(&viewer);
  later.ensurePolished();
  EXPECT_EQ(later.style(), ControlSkinStyle());
  EXPECT_NE(host_window.style(), ControlSkinStyle());

  ReleaseControlSkin();
  EXPECT_EQ(QApplication::style()->name(), app_style);
  EXPECT_EQ(QApplication::palette().color(QPalette::Window), app_window);
  EXPECT_EQ(viewer.style(), QApplication::style());
  EXPECT_EQ(ControlSkinStyle(), nullptr);
}

TEST(ViewerToolbarIcons, EveryButtonHasItsOwnDrawing) {
  TestApplication();
  for (const char* name :
       {"IDP_PENCIL", "IDP_SEARCH", "IDP_PENCILS", "IDP_SEARCH_MULTI", "IDP_ZOOMIN", "IDP_ZOOMOUT",
        "IDP_ZOOM100", "IDP_ZOOMFIT", "IDP_PICKER", "IDP_FOLDER"}) {
    const QImage image = ToolbarImage(name);
    ASSERT_FALSE(image.isNull()) << name;
    EXPECT_EQ(image.size(), ToolbarImageSize());
    int opaque = 0;
    for (int y = 0; y < image.height(); ++y) {
      for (int x = 0; x < image.width(); ++x) opaque += qAlpha(image.pixel(x, y)) > 200;
    }
    EXPECT_GT(opaque, 20) << name;
  }
  EXPECT_TRUE(ToolbarImage("IDP_NONE").isNull());
}

TEST(ViewerToolbarIcons, DisabledLookFollowsTheGreyRule) {
  QImage image(3, 1, QImage::Format_ARGB32);
  image.setPixel(0, 0, qRgba(255, 0, 0, 255));
  image.setPixel(1, 0, qRgba(0, 0, 0, 99));
  image.setPixel(2, 0, qRgba(255, 255, 255, 100));
  const QImage grey = DisabledToolbarImage(image);
  // (0.3 * 255) * 0.43 + 120 = 152.895 -> 152, minus 70.
  EXPECT_EQ(grey.pixel(0, 0), qRgba(82, 82, 82, 255));
  EXPECT_EQ(grey.pixel(1, 0), qRgba(50, 50, 50, 49));
  EXPECT_EQ(grey.pixel(2, 0), qRgba(159, 159, 159, 100));
}

}  // namespace
}  // namespace pmk::ui
