// The viewer's commands that run the engine or leave the window: sign,
// detect, about and the two web pages.
#include <QUrl>
#include <memory>
#include <string>

#include "engine/engine.h"
#include "image/picture_buffer_ops.h"
#include "plugin/dialogs/about_box_dialog.h"
#include "plugin/dialogs/language_table.h"
#include "plugin/dialogs/plugin_settings.h"
#include "plugin/dialogs/sign_dialog.h"
#include "plugin/signing/checked_signing.h"
#include "plugin/viewer/highlight_frames.h"
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

void ShowSigningMessage(QWidget* owner, SigningOutcome outcome) {
  const SigningMessage message = MessageFor(outcome);
  Message(owner, message.text, message.caption,
          message.error_icon ? MessageIcon::kError : MessageIcon::kNone);
}

}  // namespace

bool ViewerWindow::CheckImageForEngine() {
  const SigningOutcome picture = CheckPictureForSigning(image_);
  // Detection accepts pictures of any size; only signing has a limit.
  if (picture != SigningOutcome::kSigned && picture != SigningOutcome::kTooLarge) {
    ShowSigningMessage(this, picture);
    return false;
  }
  return true;
}

void ViewerWindow::SignImage() {
  if (const SigningOutcome picture = CheckPictureForSigning(image_);
      picture != SigningOutcome::kSigned) {
    ShowSigningMessage(this, picture);
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
  SigningRun run;
  run.search = ControlOf(*waiting);
  run.larger_regions = CurrentSettings().robust_sign;
  run.web_layer = CurrentSettings().web_layer;
  run.before_embedding = [&waiting] {
    waiting->SetText(LanguageText(TextId::kInsertingSignature));
  };
  const SigningOutcome outcome =
      SignCheckedPicture(image_, PayloadFromDialogText(payload), run, &signed_areas_);
  waiting.reset();
  if (outcome != SigningOutcome::kSigned) {
    ShowSigningMessage(this, outcome);
    return;
  }
  setWindowTitle(windowTitle() + LanguageText(TextId::kSignedTitleSuffix));

  // The frames live in the picture only while the message is open.
  ImageRecord unframed;
  const bool framed = picture_buffer::CopyWhole(unframed, image_) == kResultOk;
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
