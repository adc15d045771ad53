// The viewer's commands that run the engine or leave the window: sign,
// detect, about and the two web pages.
#include <QUrl>
#include <memory>
#include <string>

#include "engine/engine.h"
#include "plugin/dialogs/about_box_dialog.h"
#include "plugin/viewer/highlight_frames.h"
#include "plugin/dialogs/language_table.h"
#include "plugin/dialogs/plugin_settings.h"
#include "plugin/dialogs/sign_dialog.h"
#include "plugin/viewer/view_drawing.h"
#include "plugin/viewer/viewer_dialogs.h"
#include "plugin/viewer/viewer_engine.h"
#include "plugin/viewer/viewer_window.h"

namespace pmk::ui {

namespace {

constexpr int kStepsBeforeSigning = 17;
constexpr int kStepsOfDetection = 29;

void Message(QWidget* owner, TextId text, TextId caption, MessageIcon icon) {
  CurrentViewerDialogs().message(owner, LanguageText(text), LanguageText(caption), icon);
}

}  // namespace

bool ViewerWindow::CheckImageForEngine() {
  // The search spreads over the cores the options allow.
  CoreCount = CurrentSettings().cores_in_use;
  if (!HasImage() || image_.width() < kMinimumSignedSide || image_.height() < kMinimumSignedSide) {
    Message(this, TextId::kImageTooSmall, TextId::kErrorCaption, MessageIcon::kNone);
    return false;
  }
  if ((image_.channels() != 3 && image_.channels() != 4) || image_.bits() != 8) {
    Message(this, TextId::kFormatNotSupported, TextId::kErrorCaption, MessageIcon::kNone);
    return false;
  }
  return true;
}

void ViewerWindow::SignImage() {
  if (!CheckImageForEngine()) return;
  // The signing would refuse it after a search that takes minutes at this
  // size, so it is refused before the user is asked for anything.
  if (static_cast<std::int64_t>(image_.width()) * image_.height() > kMaxEmbedPixels) {
    Message(this, TextId::kCannotSign, TextId::kReportCaption, MessageIcon::kNone);
    return;
  }
  ViewerDialogs& dialogs = CurrentViewerDialogs();
  std::string payload;
  if (dialogs.sign(this, payload) != 1) {
    RedrawFromImage();
    return;
  }

  auto waiting =
      dialogs.please_wait(this, kStepsBeforeSigning, LanguageText(TextId::kSearchingSignature));
  const std::uint8_t found = SearchBeforeSigning(image_, waiting->notifier());
  if (found == kResultOk || found == kResultNoMemory || StopRequested != 0) {
    waiting.reset();
    const TextId text = found == kResultOk         ? TextId::kAlreadySigned
                        : found == kResultNoMemory ? TextId::kNotEnoughMemory
                                                   : TextId::kSigningAborted;
    Message(this, text, TextId::kWarningCaption, MessageIcon::kError);
    return;
  }

  // The mark goes into a copy, so that a failed signing leaves the picture
  // exactly as it was (the signing clamps the carrier even when it fails).
  waiting->SetText(LanguageText(TextId::kInsertingSignature));
  ImageRecord signed_image;
  if (CopyPicture(image_, signed_image) != kResultOk) {
    waiting.reset();
    Message(this, TextId::kNotEnoughMemory, TextId::kWarningCaption, MessageIcon::kError);
    return;
  }
  const std::uint8_t result =
      SignPicture(signed_image, payload.c_str(), CurrentSettings().robust_sign);
  waiting.reset();
  if (result != kResultOk) {
    Message(this, TextId::kCannotSign, TextId::kReportCaption, MessageIcon::kNone);
    return;
  }
  image_.Swap(signed_image);
  setWindowTitle(windowTitle() + LanguageText(TextId::kSignedTitleSuffix));

  // The frames live in the picture only while the message is open.
  ImageRecord unframed;
  const bool framed = CopyPicture(image_, unframed) == kResultOk;
  if (framed) {
    const auto boxes = HighlightBoxes(SignedAreas(), image_.width(), image_.height());
    for (std::size_t i = 0; i < boxes.size(); ++i) {
      DrawHighlightFrame(image_, boxes[i], static_cast<int>(i));
    }
    RedrawFromImage();
  }
  Message(this, TextId::kSignInserted, TextId::kSignInsertedCaption, MessageIcon::kNone);
  if (framed) image_.Swap(unframed);
  RedrawFromImage();
}

void ViewerWindow::DetectSign() {
  if (!CheckImageForEngine()) return;
  ViewerDialogs& dialogs = CurrentViewerDialogs();
  std::string signature;
  std::uint8_t result;
  {
    auto waiting =
        dialogs.please_wait(this, kStepsOfDetection, LanguageText(TextId::kSearchingSignature));
    waiting->ResetBar();
    result = DetectInPicture(image_, waiting->notifier(), signature);
  }
  if (result != kResultOk) {
    dialogs.result(this, LanguageText(TextId::kNoSignDetected));
  } else {
    dialogs.sign_found(this, QString::fromStdString(signature));
  }
}

void ViewerWindow::ShowOptions() {
  CurrentViewerDialogs().options(this, PluginFolder());
}

void ViewerWindow::ShowAbout() {
  CurrentViewerDialogs().message(this, AboutMessage(), LanguageText(TextId::kAboutCaption),
                                 MessageIcon::kInformation);
}

// The product's description page is the README installed beside the plug-in:
// it is always there and says what the product does, with or without a network.
void ViewerWindow::OpenProductPage() {
  CurrentViewerDialogs().open_url(
      QUrl::fromLocalFile(PluginFolder() + QStringLiteral("/README.md")));
}

void ViewerWindow::OpenShortener() {
  CurrentViewerDialogs().open_url(QUrl(ShortenerUrl()));
}

}  // namespace pmk::ui
