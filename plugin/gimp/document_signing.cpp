#include "plugin/gimp/document_signing.h"

#include <QString>
#include <algorithm>

#include "engine/engine.h"
#include "platform/private_profile.h"
#include "plugin/standalone/host_document.h"
#include "plugin/ui/language_table.h"
#include "plugin/ui/plugin_settings.h"
#include "plugin/ui/sign_dialog.h"

namespace pmk::gimp {
namespace {

// The viewer's texts (numbers of the language table).
constexpr int kTextTooSmall = 28;
constexpr int kTextNotSupported = 29;
constexpr int kTextAlreadySigned = 31;
constexpr int kTextCannotSign = 32;
constexpr int kTextSignTooLong = 39;
constexpr int kTextSignTooShort = 87;
constexpr int kTextNoMemory = 141;

std::string Text(int number) {
  return ui::LanguageText(number).toStdString();
}

// The colour planes the engine reads, or the message why there are none.
std::string PictureFor(const plugin::HostDocument& document, ImageRecord& colour,
                       ImageRecord& alpha) {
  if (document.channels != 3 && document.channels != 4) return Text(kTextNotSupported);
  if (document.width < ui::kMinimumSignedSide || document.height < ui::kMinimumSignedSide)
    return Text(kTextTooSmall);
  if (!plugin::PictureFromDocument(document, colour, alpha)) return Text(kTextNoMemory);
  return {};
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
  const QString folder = QString::fromStdString(plugin_folder.string());
  ui::LoadLanguageTable(folder, platform::ReadProfileInt(ui::LanguageFilePath(folder).toStdString(),
                                                         "General", "Language Current", 0));
}

std::string SignDocument(plugin::HostDocument& document, const std::string& signature,
                         bool robust) {
  const QString typed = QString::fromUtf8(signature);
  if (typed.toUcs4().size() > kSignatureSymbolCount) return Text(kTextSignTooLong);
  const QString shown = ui::SignaturePreview(typed);
  if (shown.size() < kMinimumSignatureLength) return Text(kTextSignTooShort);

  ImageRecord colour;
  ImageRecord alpha;
  if (std::string refused = PictureFor(document, colour, alpha); !refused.empty()) return refused;
  if (static_cast<std::int64_t>(colour.width()) * colour.height() > kMaxEmbedPixels)
    return Text(kTextCannotSign);

  const EngineControl control = SettingsControl();
  OutputText found;
  const ResultCode search = DetectSignature(colour, found, control, DetectionMode::kPreSigning);
  if (search == ResultCode::kOk) return Text(kTextAlreadySigned);
  if (search == ResultCode::kNoMemory) return Text(kTextNoMemory);

  EmbedOptions options;
  options.larger_regions = robust;
  const PayloadText payload = FormatPayload(shown.toStdString());
  const ResultCode embedded = EmbedSignature(colour, payload, control, options, nullptr);
  if (embedded == ResultCode::kNoMemory) return Text(kTextNoMemory);
  if (embedded != ResultCode::kOk) return Text(kTextCannotSign);
  plugin::HostDocument signed_document;
  if (!plugin::DocumentFromPicture(colour, alpha, signed_document)) return Text(kTextNoMemory);
  document = std::move(signed_document);
  return {};
}

std::string DetectInDocument(const plugin::HostDocument& document, std::string& signature) {
  signature.clear();
  ImageRecord colour;
  ImageRecord alpha;
  if (std::string refused = PictureFor(document, colour, alpha); !refused.empty()) return refused;
  OutputText found;
  const ResultCode result =
      DetectSignature(colour, found, SettingsControl(), DetectionMode::kDetection);
  if (result == ResultCode::kNoMemory) return Text(kTextNoMemory);
  if (result == ResultCode::kOk) signature = found.Signature();
  return {};
}

}  // namespace pmk::gimp
