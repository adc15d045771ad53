#include "plugin/viewer/jpeg_check_dialog.h"

#include <gtest/gtest.h>

#include <QLabel>
#include <QSlider>
#include <QTest>

#include "image/plugin_image_files.h"
#include "plugin/batch/jpeg_slider_codes.h"
#include "plugin/batch/jpeg_survival_check.h"
#include "plugin/dialogs/dialog_ids.h"
#include "support/qt_app.h"
#include "support/signed_picture.h"

namespace pmk {
namespace {

namespace fs = std::filesystem;
using testing::TestApplication;
using ui::JpegCheckDialog;
namespace ids = ui::ids;

template <class T>
T* Control(QWidget& dialog, int id) {
  return dialog.findChild<T*>(QString::number(id));
}

QString Verdict(JpegCheckDialog& dialog) {
  return Control<QLabel>(dialog, ids::kJpegVerdict)->text();
}
QColor VerdictColour(JpegCheckDialog& dialog) {
  return Control<QLabel>(dialog, ids::kJpegVerdict)->palette().color(QPalette::WindowText);
}

TEST(JpegSliderCodes, ValuesAndChecks) {
  struct Case {
    int code, position, thumb, quality;
    std::optional<int> value;
    bool checks;
  };
  const Case cases[] = {
      {kSliderLineDown, 90, 0, 90, 89, true},  {kSliderPageDown, 90, 0, 90, 89, true},
      {kSliderLineUp, 90, 0, 90, 91, true},    {kSliderPageUp, 100, 0, 100, 100, false},
      {kSliderLineDown, 20, 0, 20, 20, false}, {kSliderDragging, 90, 40, 90, 40, false},
      {kSliderReleased, 90, 90, 90, 90, true}, {kSliderReleased, 90, 55, 90, 55, true},
      {6, 90, 30, 90, std::nullopt, false},    {-1, 90, 30, 90, std::nullopt, false},
  };
  for (const Case& c : cases) {
    const std::optional<int> value = JpegSliderValue(c.code, c.position, c.thumb);
    EXPECT_EQ(value, c.value) << c.code << " " << c.position;
    if (value) {
      EXPECT_EQ(JpegSliderChecks(c.code, *value, c.quality), c.checks) << c.code;
    }
  }
}

TEST(JpegCheckDialog, SignedPicturePreservedAtNinety) {
  testing::TestApplication();
  testing::TempFolder cache;
  const fs::path work = JpegCheckWorkFolder(cache.path());
  const ImageRecord picture = testing::SignedPicture("kodim13.png", "Dialog-26");
  std::int32_t quality = 10;  // below the range: opens at 90
  JpegCheckDialog dialog(picture, quality, work);

  EXPECT_EQ(quality, 90);
  EXPECT_EQ(Control<QSlider>(dialog, ids::kQualitySlider)->value(), 90);
  EXPECT_EQ(Control<QLabel>(dialog, ids::kJpegQualityNumber)->text(), "90");
  EXPECT_EQ(Control<QLabel>(dialog, ids::kJpegQualityCaption)->text(), "Jpg quality:");
  EXPECT_EQ(Verdict(dialog), "Sign will be preserved!");
  EXPECT_EQ(VerdictColour(dialog), QColor(10, 150, 10));
  EXPECT_TRUE(fs::exists(work / "orig.tif"));
}

TEST(JpegCheckDialog, UnsignedPictureAndTheSliderCodes) {
  testing::TestApplication();
  testing::TempFolder cache;
  const fs::path work = JpegCheckWorkFolder(cache.path());
  ImageRecord picture;
  LoadPluginImage(testing::TestData("kodim23.png"), picture);
  std::int32_t quality = 100;
  JpegCheckDialog dialog(picture, quality, work);
  auto* slider = Control<QSlider>(dialog, ids::kQualitySlider);
  EXPECT_EQ(Verdict(dialog), "Sign will be undetectable!");
  EXPECT_EQ(VerdictColour(dialog), QColor(255, 10, 10));

  // A key step moves one and stores the quality.
  QTest::keyClick(slider, Qt::Key_Left);
  EXPECT_EQ(quality, 99);
  EXPECT_EQ(slider->value(), 99);
  EXPECT_EQ(Control<QLabel>(dialog, ids::kJpegQualityNumber)->text(), "99");

  // Dragging shows the number without checking; letting go on the value the
  // drag started from checks all the same.
  fs::remove(work / "test.jpg");
  dialog.HandleSliderCode(kSliderDragging, 40);
  EXPECT_EQ(Control<QLabel>(dialog, ids::kJpegQualityNumber)->text(), "40");
  EXPECT_EQ(quality, 99);
  EXPECT_FALSE(fs::exists(work / "test.jpg"));
  dialog.HandleSliderCode(kSliderDragging, 99);
  emit slider->sliderReleased();
  EXPECT_TRUE(fs::exists(work / "test.jpg"));
  EXPECT_EQ(Verdict(dialog), "Sign will be undetectable!");
}

TEST(JpegCheckDialog, UncreatableWorkFolderReadsUndetectableInBlack) {
  testing::TestApplication();
  testing::TempFolder cache;
  testing::WriteBytes(cache / "file", "x");
  ImageRecord picture;
  LoadPluginImage(testing::TestData("kodim23.png"), picture);
  std::int32_t quality = 90;
  JpegCheckDialog dialog(picture, quality, cache / "file" / "temp");
  EXPECT_EQ(dialog.verdict(), kJpegCheckNoWorkFiles);
  EXPECT_EQ(Verdict(dialog), "Sign will be undetectable!");
  EXPECT_EQ(VerdictColour(dialog), QColor(0, 0, 0));
}

}  // namespace
}  // namespace pmk
