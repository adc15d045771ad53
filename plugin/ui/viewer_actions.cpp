// The viewer's commands that run the engine or leave the window: sign,
// detect, about and the two web pages.
#include <QUrl>
#include <memory>
#include <string>

#include "engine/engine.h"
#include "plugin/ui/about_box_dialog.h"
#include "plugin/ui/highlight_frames.h"
#include "plugin/ui/language_table.h"
#include "plugin/ui/plugin_settings.h"
#include "plugin/ui/sign_dialog.h"
#include "plugin/ui/view_drawing.h"
#include "plugin/ui/viewer_dialogs.h"
#include "plugin/ui/viewer_engine.h"
#include "plugin/ui/viewer_window.h"

namespace pmk::ui {

namespace {

constexpr int kStepsBeforeSigning = 17;
constexpr int kStepsOfDetection = 29;

void Message(QWidget* owner, int text, int caption, MessageIcon icon) {
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
    Message(this, 28, 27, MessageIcon::kNone);
    return false;
  }
  if ((image_.channels() != 3 && image_.channels() != 4) || image_.bits() != 8) {
    Message(this, 29, 27, MessageIcon::kNone);
    return false;
  }
  return true;
}

void ViewerWindow::SignImage() {
  if (!CheckImageForEngine()) return;
  // The signing would refuse it after a search that takes minutes at this
  // size, so it is refused before the user is asked for anything.
  if (static_cast<std::int64_t>(image_.width()) * image_.height() > kMaxEmbedPixels) {
    Message(this, 32, 25, MessageIcon::kNone);
    return;
  }
  ViewerDialogs& dialogs = CurrentViewerDialogs();
  std::string payload;
  if (dialogs.sign(this, payload) != 1) {
    RedrawFromImage();
    return;
  }

  auto waiting = dialogs.please_wait(this, kStepsBeforeSigning, LanguageText(95));
  const ResultCode found = SearchBeforeSigning(image_, ControlOf(*waiting));
  if (found == ResultCode::kOk || found == ResultCode::kNoMemory || StopWasRequested(*waiting)) {
    waiting.reset();
    const int text = found == ResultCode::kOk ? 31 : found == ResultCode::kNoMemory ? 141 : 92;
    Message(this, text, 86, MessageIcon::kError);
    return;
  }

  // The mark goes into a copy, so that a failed signing leaves the picture
  // exactly as it was (the signing clamps the carrier even when it fails).
  waiting->SetText(LanguageText(96));
  ImageRecord signed_image;
  if (CopyPicture(image_, signed_image) != kResultOk) {
    waiting.reset();
    Message(this, 141, 86, MessageIcon::kError);
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
    Message(this, 32, 25, MessageIcon::kNone);
    return;
  }
  image_.Swap(signed_image);
  setWindowTitle(windowTitle() + LanguageText(33));

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
  Message(this, 34, 35, MessageIcon::kNone);
  if (framed) image_.Swap(unframed);
  RedrawFromImage();
}

void ViewerWindow::DetectSign() {
  if (!CheckImageForEngine()) return;
  ViewerDialogs& dialogs = CurrentViewerDialogs();
  std::string signature;
  ResultCode result;
  {
    auto waiting = dialogs.please_wait(this, kStepsOfDetection, LanguageText(95));
    waiting->ResetBar();
    result = DetectInPicture(image_, ControlOf(*waiting), signature);
  }
  if (result != ResultCode::kOk) {
    dialogs.result(this, LanguageText(30));
  } else {
    dialogs.sign_found(this, QString::fromStdString(signature));
  }
}

void ViewerWindow::ShowOptions() {
  CurrentViewerDialogs().options(this, PluginFolder());
}

void ViewerWindow::ShowAbout() {
  CurrentViewerDialogs().message(this, AboutMessage(), LanguageText(37), MessageIcon::kInformation);
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
