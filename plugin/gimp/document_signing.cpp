#include "plugin/gimp/document_signing.h"

#include <QString>
#include <algorithm>

#include "engine/engine.h"
#include "platform/private_profile.h"
#include "plugin/dialogs/language_table.h"
#include "plugin/dialogs/plugin_settings.h"
#include "plugin/dialogs/qt_path.h"
#include "plugin/dialogs/sign_dialog.h"
#include "plugin/filter_host/host_document.h"
#include "plugin/signing/checked_signing.h"

namespace pmk::gimp {

using ui::TextId;

namespace {

// The viewer's texts, in the language chosen for the plug-in.
std::string Text(TextId id) {
  return ui::LanguageText(id).toStdString();
}

// The colour planes the engine reads, or the message why there are none:
// the viewer's checks, and its size limit when signing.
std::string PictureFor(const plugin::HostDocument& document, bool signing, ImageRecord& colour,
                       ImageRecord& alpha) {
  if (document.channels != 3 && document.channels != 4) return Text(TextId::kFormatNotSupported);
  if (!plugin::PictureFromDocument(document, colour, alpha)) return Text(TextId::kNotEnoughMemory);
  const ui::SigningOutcome picture = ui::CheckPictureForSigning(colour);
  if (picture == ui::SigningOutcome::kSigned ||
      (!signing && picture == ui::SigningOutcome::kTooLarge)) {
    return {};
  }
  return Text(ui::MessageFor(picture).text);
}

// The engine runs on the cores of the plug-in's settings, read as the viewer
// reads them, without the crash mark that only the viewer's own runs set.
EngineControl SettingsControl() {
  const int cores = static_cast<std::uint8_t>(
      platform::ReadProfileInt(ui::SettingsFilePath(), "General", "Use Cores", 16));
  EngineControl control;
  control.threads =
      static_cast<std::uint8_t>(std::clamp<int>(cores, 1, ui::ViewerProcessorCount()));
  return control;
}

}  // namespace

void ApplyPluginSettings(const std::filesystem::path& plugin_folder) {
  if (plugin_folder.empty()) return;
  const QString folder = ui::QStringFromPath(plugin_folder);
  ui::LoadLanguageTable(
      folder, platform::ReadProfileInt(ui::PathFromQString(ui::LanguageFilePath(folder)), "General",
                                       "Language Current", 0));
}

std::string SignDocument(plugin::HostDocument& document, const std::string& signature,
                         const SignOptions& options) {
  // The viewer's checks, in its order: the picture first, then the
  // signature that its sign dialog would refuse.
  ImageRecord colour;
  ImageRecord alpha;
  if (std::string refused = PictureFor(document, true, colour, alpha); !refused.empty())
    return refused;
  const QString typed = QString::fromUtf8(signature);
  if (typed.toUcs4().size() > kSignatureSymbolCount) return Text(TextId::kSignatureTooLong);
  const QString shown = ui::SignaturePreview(typed);
  if (shown.size() < kMinimumSignatureLength) return Text(TextId::kSignatureTooShort);

  ui::SigningRun run;
  run.search = SettingsControl();
  run.larger_regions = options.robust;
  run.web_layer = options.web_layer;
  const ui::SigningOutcome outcome =
      ui::SignCheckedPicture(colour, FormatPayload(shown.toStdString()), run);
  if (outcome != ui::SigningOutcome::kSigned) return Text(ui::MessageFor(outcome).text);
  plugin::HostDocument signed_document;
  if (!plugin::DocumentFromPicture(colour, alpha, signed_document))
    return Text(TextId::kNotEnoughMemory);
  document = std::move(signed_document);
  return {};
}

std::string DetectInDocument(const plugin::HostDocument& document, std::string& signature) {
  signature.clear();
  ImageRecord colour;
  ImageRecord alpha;
  if (std::string refused = PictureFor(document, false, colour, alpha); !refused.empty())
    return refused;
  OutputText found;
  const ResultCode result = DetectEitherLayer(colour, found, SettingsControl());
  if (result == ResultCode::kNoMemory) return Text(TextId::kNotEnoughMemory);
  if (result == ResultCode::kOk) signature = found.Signature();
  return {};
}

}  // namespace pmk::gimp
