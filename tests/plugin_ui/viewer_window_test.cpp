#include "plugin/viewer/viewer_window.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QComboBox>
#include <QLineEdit>
#include <QPointer>
#include <QTest>
#include <cstring>

#include "engine/engine.h"
#include "image/image_files.h"
#include "plugin/dialogs/plugin_settings.h"
#include "plugin/viewer/view_area.h"
#include "plugin/viewer/viewer_commands.h"
#include "plugin/viewer/viewer_dialogs.h"
#include "plugin/viewer/viewer_engine.h"
#include "support/dialog_driving.h"

namespace pmk::ui {
namespace {

// Answers the viewer's dialogs and records what they showed.
class ViewerWindowTest : public UiFixture {
 protected:
  struct NoWaiting : WaitingDialog {
    ProgressNotifier* notifier() override { return nullptr; }
    const std::atomic<std::int32_t>* stop_flag() override { return nullptr; }
    void SetText(const QString&) override {}
    void ResetBar() override {}
  };

  void SetUp() override {
    UiFixture::SetUp();
    TestApplication();
    saved_ = CurrentViewerDialogs();
    ViewerDialogs& dialogs = CurrentViewerDialogs();
    dialogs.message = [this](QWidget*, const QString& text, const QString& caption, MessageIcon) {
      messages_.push_back(text);
      captions_.push_back(caption);
      if (on_message_) on_message_(text);
    };
    dialogs.sign = [this](QWidget*, std::string& payload) {
      payload = std::string(kPayloadPrefix) + signature_;
      return 1;
    };
    dialogs.please_wait = [](QWidget*, int, const QString&) {
      return std::make_unique<NoWaiting>();
    };
    dialogs.result = [this](QWidget*, const QString& text) { results_.push_back(text); };
    dialogs.sign_found = [this](QWidget*, const QString& text) { found_.push_back(text); };
    dialogs.options = [this](QWidget*, const QString&) { ++options_shown_; };
    dialogs.open_url = [this](const QUrl& url) {
      urls_.push_back(url);
      return true;
    };
  }
  void TearDown() override {
    delete viewer_;
    CurrentViewerDialogs() = saved_;
  }

  void Open(ImageRecord picture) {
    host_ = std::move(picture);
    viewer_ = new ViewerWindow(host_);
    viewer_->resize(1200, 900);
    viewer_->show();
    QApplication::processEvents();
    viewer_->TakeImage();
  }

  static ImageRecord Photo() {
    ImageRecord colour, alpha;
    EXPECT_TRUE(LoadImage(PMK_TEST_DATA_DIR "/kodim23.png", colour, alpha));
    return colour;
  }

  static int CountColour(const QImage& image, QRgb colour) {
    int count = 0;
    for (int y = 0; y < image.height(); ++y) {
      for (int x = 0; x < image.width(); ++x)
        count += (image.pixel(x, y) & 0xffffff) == (colour & 0xffffff);
    }
    return count;
  }

  ImageRecord host_;
  QPointer<ViewerWindow> viewer_;
  ViewerDialogs saved_;
  std::string signature_ = "viewer-1";
  std::vector<QString> messages_, captions_, results_, found_;
  std::vector<QUrl> urls_;
  int options_shown_ = 0;
  std::function<void(const QString&)> on_message_;
};

TEST_F(ViewerWindowTest, OpensFittedWithTitleZoomBoxAndTableDrivenCommands) {
  Open(Photo());
  EXPECT_EQ(viewer_->windowTitle(), "Tavelwood - Pictomarker plug-in");
  const ViewArea* area = viewer_->view_area();
  const ViewState fit = FitView({double(area->width()), double(area->height())}, 768, 512);
  EXPECT_DOUBLE_EQ(viewer_->view().zoom, fit.zoom);
  EXPECT_EQ(viewer_->ZoomBoxText().toStdString(), ZoomText(fit.zoom));
  EXPECT_TRUE(viewer_->zoom_box()->isEnabled());
  viewer_->RunCommand(kCommandZoom100);
  EXPECT_EQ(viewer_->ZoomBoxText(), "100.0 %");
  for (const int id : {kCommandBatchSign, kCommandBatchDetect, kCommandJpegCheck}) {
    ASSERT_NE(viewer_->CommandAction(id), nullptr);
    EXPECT_TRUE(viewer_->CommandAction(id)->isEnabled()) << id;
  }
  EXPECT_EQ(viewer_->CommandAction(kCommandZoomIn)->shortcut(), QKeySequence(Qt::Key_Plus));
  EXPECT_EQ(viewer_->CommandAction(kCommandSign)->toolTip(), "Sign Current Image");
  viewer_->RunCommand(kCommandShortener);
  viewer_->RunCommand(kCommandVisitWebSite);
  ASSERT_EQ(urls_.size(), 2u);
  EXPECT_EQ(urls_[0].toString(), "https://tinyurl.com");
  EXPECT_TRUE(urls_[1].isLocalFile());
  viewer_->RunCommand(kCommandOptions);
  EXPECT_EQ(options_shown_, 1);
}

// The host asks for the picture right after asking for the window, before a
// window manager has given it its size.
TEST_F(ViewerWindowTest, TheFitWaitsForTheWindowOnScreenAndFollowsItsSize) {
  host_ = Photo();
  viewer_ = new ViewerWindow(host_);
  viewer_->TakeImage();
  EXPECT_TRUE(viewer_->fit_follows_window());
  EXPECT_DOUBLE_EQ(viewer_->view().zoom, 1);  // nothing fitted yet
  viewer_->resize(1000, 700);
  viewer_->show();
  QApplication::processEvents();
  ViewArea* area = viewer_->view_area();
  const auto fit = [&] {
    return FitView({double(area->width()), double(area->height())}, 768, 512);
  };
  EXPECT_DOUBLE_EQ(viewer_->view().zoom, fit().zoom);

  viewer_->resize(600, 900);  // now the width decides
  QApplication::processEvents();
  EXPECT_DOUBLE_EQ(viewer_->view().zoom, fit().zoom);
  EXPECT_DOUBLE_EQ(viewer_->view().centre_x, area->width() / 2.0);
  EXPECT_EQ(viewer_->ZoomBoxText().toStdString(), ZoomText(fit().zoom));

  // Zoomed by the user, the zoom stays and the picture's middle stays in the middle.
  viewer_->RunCommand(kCommandZoomIn);
  EXPECT_FALSE(viewer_->fit_follows_window());
  const double zoom = viewer_->view().zoom;
  const ViewPoint middle = ViewToImage(viewer_->view(), area->width() / 2.0, area->height() / 2.0);
  viewer_->resize(1100, 500);
  QApplication::processEvents();
  EXPECT_DOUBLE_EQ(viewer_->view().zoom, zoom);
  const ViewPoint now = ViewToImage(viewer_->view(), area->width() / 2.0, area->height() / 2.0);
  EXPECT_NEAR(now.x, middle.x, 1e-9);
  EXPECT_NEAR(now.y, middle.y, 1e-9);
  // The back buffer was drawn again at the new size and place.
  const QImage shown = area->grab().toImage();
  ASSERT_EQ(shown.width(), area->width());
  const int x = area->width() / 2, y = area->height() / 2;
  const ViewPoint under = ViewToImage(viewer_->view(), x + 0.5, y + 0.5);
  const std::uint8_t* pixel = viewer_->image().Row<std::uint8_t>(int(under.y)) + int(under.x) * 3;
  EXPECT_EQ(shown.pixel(x, y) & 0xffffff, qRgb(pixel[2], pixel[1], pixel[0]) & 0xffffff);

  viewer_->RunCommand(kCommandZoomFit);
  EXPECT_TRUE(viewer_->fit_follows_window());
}

TEST_F(ViewerWindowTest, WarnsAfterACrashAndMarksAnOrderlyClose) {
  WriteSettingsText("[General]\nCrashed Last Time=1\n");
  Open(Photo());
  ASSERT_EQ(messages_.size(), 1u);
  EXPECT_TRUE(messages_[0].startsWith("The application crashed last time."));
  EXPECT_EQ(captions_[0], "Warning");
  EXPECT_NE(SettingsText().find("Crashed Last Time=1"), std::string::npos);
  viewer_->RunCommand(kCommandExit);
  QApplication::processEvents();
  EXPECT_TRUE(viewer_.isNull());
  EXPECT_NE(SettingsText().find("Crashed Last Time=0"), std::string::npos);
}

TEST_F(ViewerWindowTest, TypedZoomAppliesOnEnterAndALetterRestoresTheText) {
  Open(Photo());
  QLineEdit* edit = viewer_->zoom_box()->lineEdit();
  const auto type = [&](const QString& text) {
    edit->setText(text);
    QTest::keyClick(edit, Qt::Key_Return);
    QApplication::processEvents();
  };
  type("150,0");
  EXPECT_DOUBLE_EQ(viewer_->view().zoom, 1.5);
  EXPECT_EQ(viewer_->ZoomBoxText(), "150.0 %");
  type("12x");
  EXPECT_DOUBLE_EQ(viewer_->view().zoom, 1.5);
  EXPECT_EQ(viewer_->ZoomBoxText(), "150.0 %");
  type("");
  EXPECT_EQ(viewer_->ZoomBoxText(), "10.0 %");
}

TEST_F(ViewerWindowTest, DraggingAndTheWheelMoveTheView) {
  Open(Photo());
  ViewArea* area = viewer_->view_area();
  const ViewState before = viewer_->view();
  QTest::mousePress(area, Qt::LeftButton, {}, QPoint(300, 300));
  QMouseEvent move(QEvent::MouseMove, QPointF(340, 280), area->mapToGlobal(QPointF(340, 280)),
                   Qt::NoButton, Qt::LeftButton, {});
  QApplication::sendEvent(area, &move);
  QTest::mouseRelease(area, Qt::LeftButton, {}, QPoint(340, 280));
  EXPECT_DOUBLE_EQ(viewer_->view().anchor_x, before.anchor_x - 40 / before.zoom);
  EXPECT_DOUBLE_EQ(viewer_->view().anchor_y, before.anchor_y + 20 / before.zoom);
  EXPECT_FALSE(viewer_->dragging());

  for (int i = 0; i < 30; ++i) {
    QWheelEvent wheel(QPointF(400, 300), area->mapToGlobal(QPointF(400, 300)), {}, {0, 120},
                      Qt::NoButton, {}, Qt::NoScrollPhase, false);
    QApplication::sendEvent(area, &wheel);
  }
  EXPECT_DOUBLE_EQ(viewer_->view().zoom, 8.0);
  EXPECT_EQ(viewer_->ZoomBoxText(), "800.0 %");
}

TEST_F(ViewerWindowTest, PicturesUnder128PixelsAreRefused) {
  ImageRecord small;
  ASSERT_EQ(small.Allocate(300, 127, 3, 8), 0);
  std::memset(small.data(), 90, static_cast<std::size_t>(small.size()));
  Open(std::move(small));
  viewer_->RunCommand(kCommandSign);
  viewer_->RunCommand(kCommandDetect);
  ASSERT_EQ(messages_.size(), 2u);
  EXPECT_EQ(messages_[0], "Image is too small!");
  EXPECT_EQ(captions_[1], "Error");
  EXPECT_TRUE(results_.empty());
}

TEST_F(ViewerWindowTest, SignShowsFramesWhileTheMessageIsOpenThenDetectFindsIt) {
  Open(Photo());
  viewer_->RunCommand(kCommandZoom100);
  const QRgb green = qRgb(100, 255, 100);
  int frames_while_open = -1;
  on_message_ = [&](const QString& text) {
    if (text == "Your sign was inserted to the higlighted area.") {
      frames_while_open = CountColour(viewer_->view_area()->grab().toImage(), green);
    }
  };
  viewer_->RunCommand(kCommandSign);
  ASSERT_FALSE(messages_.empty());
  EXPECT_EQ(captions_.back(), "Sign inserted");
  EXPECT_GT(frames_while_open, 100);
  EXPECT_EQ(CountColour(viewer_->view_area()->grab().toImage(), green), 0);
  EXPECT_EQ(viewer_->windowTitle(), "Tavelwood - Pictomarker plug-in - SIGNED");

  // Detection reports to the plug-in's own "Please wait ..." dialog.
  CurrentViewerDialogs().please_wait = PluginDialogs().please_wait;
  viewer_->RunCommand(kCommandDetect);
  ASSERT_EQ(found_.size(), 1u);
  EXPECT_EQ(found_[0], "viewer-1");

  messages_.clear();
  viewer_->RunCommand(kCommandSign);
  ASSERT_EQ(messages_.size(), 1u);
  EXPECT_EQ(messages_[0], "Cannot sign already signed image!");
  EXPECT_EQ(viewer_->windowTitle(), "Tavelwood - Pictomarker plug-in - SIGNED");

  // The signed picture goes back to the host when the window goes.
  viewer_->close();
  QApplication::processEvents();
  EXPECT_TRUE(viewer_.isNull());
  ImageRecord original = Photo();
  ASSERT_EQ(host_.size(), original.size());
  EXPECT_NE(std::memcmp(host_.data(), original.data(), static_cast<std::size_t>(host_.size())), 0);
}

// kodim13 has nested candidates, so the two choices of regions differ there.
TEST_F(ViewerWindowTest, RobustSettingSignsLargerRegions) {
  long long total_area[2] = {0, 0};
  for (const bool robust : {false, true}) {
    WriteRobustSign(robust);  // the viewer reads its settings when it opens
    ImageRecord colour, alpha;
    ASSERT_TRUE(LoadImage(PMK_TEST_DATA_DIR "/kodim13.png", colour, alpha));
    Open(std::move(colour));
    viewer_->RunCommand(kCommandSign);
    ASSERT_FALSE(captions_.empty());
    EXPECT_EQ(captions_.back(), "Sign inserted");
    for (const AreaBox& box : viewer_->signed_areas()) {
      total_area[robust] += static_cast<long long>(box[2] - box[0]) * (box[3] - box[1]);
    }
    delete viewer_;
  }
  EXPECT_GT(total_area[1], total_area[0]);
}

TEST_F(ViewerWindowTest, WebLayerSettingAddsTheLayerOnlyWhenChecked) {
  for (const bool web : {false, true}) {
    WriteWebLayer(web);  // read when the viewer opens, like the robust choice
    Open(Photo());
    viewer_->RunCommand(kCommandSign);
    ASSERT_FALSE(captions_.empty());
    EXPECT_EQ(captions_.back(), "Sign inserted");
    OutputText text;
    EXPECT_EQ(DetectWebLayer(viewer_->image(), text, {}),
              web ? ResultCode::kOk : ResultCode::kRefused);
    EXPECT_STREQ(text.Signature(), web ? "viewer-1" : "");
    delete viewer_;
  }
}

TEST_F(ViewerWindowTest, TransparentPictureIsShownOverGreyAndKeepsItsAlpha) {
  ImageRecord picture;
  ASSERT_EQ(picture.Allocate(200, 150, 4, 8), 0);
  for (std::int32_t y = 0; y < 150; ++y) {
    for (std::int32_t x = 0; x < 200; ++x) {
      std::uint8_t* p = picture.Row<std::uint8_t>(y) + x * 4;
      p[0] = 255, p[1] = 0, p[2] = 0, p[3] = x < 100 ? 0 : 255;
    }
  }
  ImageRecord original;
  ASSERT_EQ(original.Allocate(200, 150, 4, 8), 0);
  std::memcpy(original.data(), picture.data(), static_cast<std::size_t>(picture.size()));
  Open(std::move(picture));
  const QImage shown = viewer_->view_area()->grab().toImage();
  const ViewState& view = viewer_->view();
  const auto at = [&](double x, double y) {
    const ViewPoint p = ImageToView(view, x, y);
    return shown.pixel(int(p.x), int(p.y)) & 0xffffff;
  };
  EXPECT_EQ(at(50, 75), qRgb(48, 48, 48) & 0xffffff);
  EXPECT_EQ(at(150, 75), qRgb(0, 0, 255) & 0xffffff);

  viewer_->close();
  QApplication::processEvents();
  ASSERT_EQ(host_.channels(), 4);
  EXPECT_EQ(std::memcmp(host_.data(), original.data(), static_cast<std::size_t>(host_.size())), 0);
}

}  // namespace
}  // namespace pmk::ui
