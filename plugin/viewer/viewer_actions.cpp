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

// The engine runs on the cores the options allow and stops when the waiting
// dialog is cancelled.
EngineControl ControlOf(WaitingDialog& waiting) {
  EngineControl control;
  control.threads = CurrentSettings().cores_in_use;
  control.stop = waiting.stop_flag();
  control.notifier = waiting.notifier();
  return control;
}

bool StopWasRequested(WaitingDialog& waiting) {
  const std::atomic<std::int32_t>* stop = waiting.stop_flag();
  return stop != nullptr && stop->load() != 0;
}

}  // namespace

bool ViewerWindow::CheckImageForEngine() {
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
  const ResultCode found = SearchBeforeSigning(image_, ControlOf(*waiting));
  if (found == ResultCode::kOk || found == ResultCode::kNoMemory || StopWasRequested(*waiting)) {
    waiting.reset();
    const TextId text = found == ResultCode::kOk         ? TextId::kAlreadySigned
                        : found == ResultCode::kNoMemory ? TextId::kNotEnoughMemory
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
  // Once the search has passed, the signing runs to its end: it reports no
  // steps and lets no cancel through.
  EngineControl signing = ControlOf(*waiting);
  signing.notifier = nullptr;
  const ResultCode result =
      SignPicture(signed_image, payload, CurrentSettings().robust_sign, signing, signed_areas_);
  waiting.reset();
  if (result != ResultCode::kOk) {
    Message(this, TextId::kCannotSign, TextId::kReportCaption, MessageIcon::kNone);
    return;
  }
  image_.Swap(signed_image);
  setWindowTitle(windowTitle() + LanguageText(TextId::kSignedTitleSuffix));

  // The frames live in the picture only while the message is open.
  ImageRecord unframed;
  const bool framed = CopyPicture(image_, unframed) == kResultOk;
  if (framed) {
    const auto boxes = HighlightBoxes(signed_areas_, image_.width(), image_.height());
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
  ResultCode result;
  {
    auto waiting =
        dialogs.please_wait(this, kStepsOfDetection, LanguageText(TextId::kSearchingSignature));
    waiting->ResetBar();
    result = DetectInPicture(image_, ControlOf(*waiting), signature);
  }
  if (result != ResultCode::kOk) {
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
