// Every dialog is wide enough for its title bar to show the whole title, in
// the dialog's own font; offscreen no window manager draws titles, so the
// widths are checked against the font's metrics.
#include <QFontMetrics>
#include <atomic>
#include <cstring>
#include <functional>
#include <memory>

#include "plugin/dialogs/about_box_dialog.h"
#include "plugin/dialogs/options_dialog.h"
#include "plugin/dialogs/please_wait_dialog.h"
#include "plugin/dialogs/result_boxes.h"
#include "plugin/dialogs/sign_dialog.h"
#include "plugin/viewer/batch_progress_dialog.h"
#include "plugin/viewer/jpeg_check_dialog.h"
#include "support/dialog_driving.h"

namespace pmk::ui {
namespace {

using DialogTitlesTest = UiFixture;

// The least a title bar needs: the bold title plus a close button and the
// window icon, each about a line high.
int LeastTitleWidth(const QWidget& dialog) {
  QFont font = dialog.font();
  font.setBold(true);
  const QFontMetrics metrics(font);
  return metrics.horizontalAdvance(dialog.windowTitle()) + 2 * metrics.height();
}

TEST_F(DialogTitlesTest, EveryDialogIsAsWideAsItsTitle) {
  // Titles far longer than any dialog's controls; the JPEG check's own title
  // is fixed, and was the one cut.
  const std::string padding = " - a title much longer than the controls below it";
  WriteLanguageFile("[0]\nstring7=Please wait" + padding + "\nstring37=About" + padding +
                    "\nstring68=Sign Image" + padding + "\nstring71=Batch Detection" + padding +
                    "\nstring72=Batch Signing" + padding + "\nstring73=Result" + padding +
                    "\nstring74=Sign Found!" + padding + "\nstring97=Options" + padding + "\n");
  ImageRecord picture;
  ASSERT_EQ(picture.Allocate(320, 256, 3, 8), 0);
  std::memset(picture.data(), 128, static_cast<std::size_t>(picture.size()));
  std::int32_t quality = 90;
  SignPayloadBuffer payload{};
  std::atomic<std::uint8_t> cancel{0};
  PluginSettings settings;
  settings.processor_count = 2;

  using Make = std::function<std::unique_ptr<QWidget>()>;
  const std::vector<std::pair<const char*, Make>> dialogs = {
      {"sign", [&] { return std::make_unique<SignDialog>(nullptr, false, payload); }},
      {"sign with quality", [&] { return std::make_unique<SignDialog>(nullptr, true, payload); }},
      {"options", [&] { return std::make_unique<OptionsDialog>(nullptr, settings); }},
      {"please wait", [] { return std::make_unique<PleaseWaitDialog>(nullptr, 17); }},
      {"batch signing",
       [&] {
         return std::make_unique<BatchProgressDialog>(nullptr, BatchKind::kSigning, 3, &cancel,
                                                      false);
       }},
      {"batch detection",
       [&] {
         return std::make_unique<BatchProgressDialog>(nullptr, BatchKind::kDetection, 3, &cancel,
                                                      false);
       }},
      {"result", [] { return std::make_unique<ResultBox>(nullptr, "No sign detected", false); }},
      {"sign found", [] { return std::make_unique<ResultBox>(nullptr, "abcdef", true); }},
      {"about", [] { return std::make_unique<AboutBox>(nullptr, AboutBox::OpenAddress{}); }},
      {"jpeg check",
       [&] { return std::make_unique<JpegCheckDialog>(picture, quality, folder_ / "jpeg-check"); }},
  };
  for (const bool long_titles : {false, true}) {
    LoadLanguageTable(long_titles ? plugin_folder_ : QStringLiteral("/nonexistent"), 0);
    for (const auto& [name, make] : dialogs) {
      SCOPED_TRACE(std::string(name) + (long_titles ? ", long titles" : ""));
      const std::unique_ptr<QWidget> dialog = make();
      dialog->show();
      QApplication::processEvents();
      ASSERT_FALSE(dialog->windowTitle().isEmpty());
      if (long_titles && std::string(name) != "jpeg check") {
        EXPECT_TRUE(dialog->windowTitle().endsWith(QString::fromStdString(padding)));
      }
      EXPECT_GE(dialog->width(), LeastTitleWidth(*dialog)) << dialog->windowTitle().toStdString();
      // The user cannot make it narrower either.
      dialog->resize(10, dialog->height());
      EXPECT_GE(dialog->width(), LeastTitleWidth(*dialog));
      // Sized by the title, the controls still fit their height.
      EXPECT_GE(dialog->height(), dialog->minimumSizeHint().height());
    }
  }
}

}  // namespace
}  // namespace pmk::ui
