#include "plugin/gimp/document_signing.h"

#include <QString>
#include <algorithm>

#include "engine/engine.h"
#include "platform/private_profile.h"
#include "plugin/filter_host/host_document.h"
#include "plugin/dialogs/language_table.h"
#include "plugin/dialogs/plugin_settings.h"
#include "plugin/dialogs/sign_dialog.h"

namespace pmk::gimp {

using ui::TextId;

namespace {

// The shortest signature the sign dialog accepts.
constexpr int kShortestSignature = 6;

// The viewer's texts, in the language chosen for the plug-in.
std::string Text(TextId id) {
  return ui::LanguageText(id).toStdString();
}

// The colour planes the engine reads, or the message why there are none.
std::string PictureFor(const plugin::HostDocument& document, ImageRecord& colour,
                       ImageRecord& alpha) {
  if (document.channels != 3 && document.channels != 4) return Text(TextId::kFormatNotSupported);
  if (document.width < ui::kMinimumSignedSide || document.height < ui::kMinimumSignedSide)
    return Text(TextId::kImageTooSmall);
  if (!plugin::PictureFromDocument(document, colour, alpha)) return Text(TextId::kNotEnoughMemory);
  return {};
}

}  // namespace

void ApplyPluginSettings(const std::filesystem::path& plugin_folder) {
  // Read as the viewer reads it, without the crash mark that only the
  // viewer's own runs set.
  const int cores = static_cast<std::uint8_t>(
      platform::ReadProfileInt(ui::SettingsFilePath(), "General", "Use Cores", 16));
  CoreCount = static_cast<std::uint8_t>(std::clamp<int>(cores, 1, ui::ViewerProcessorCount()));
  if (plugin_folder.empty()) return;
  const QString folder = QString::fromStdString(plugin_folder.string());
  ui::LoadLanguageTable(folder, platform::ReadProfileInt(ui::LanguageFilePath(folder).toStdString(),
                                                         "General", "Language Current", 0));
}

std::string SignDocument(plugin::HostDocument& document, const std::string& signature,
                         bool robust) {
  const QString typed = QString::fromUtf8(signature);
  if (typed.toUcs4().size() > kSignatureSymbolCount) return Text(TextId::kSignatureTooLong);
  const QString shown = ui::SignaturePreview(typed);
  if (shown.size() < kShortestSignature) return Text(TextId::kSignatureTooShort);

  ImageRecord colour;
  ImageRecord alpha;
  if (std::string refused = PictureFor(document, colour, alpha); !refused.empty()) return refused;
  if (static_cast<std::int64_t>(colour.width()) * colour.height() > kMaxEmbedPixels)
    return Text(TextId::kCannotSign);

  OutputText found;
  const std::uint8_t search = DetectSignature(colour, found, nullptr, kPreSigningMode);
  if (search == kResultOk) return Text(TextId::kAlreadySigned);
  if (search == kResultNoMemory) return Text(TextId::kNotEnoughMemory);

  EmbedOptions options;
  options.larger_regions = robust;
  const PayloadText payload = FormatPayload(shown.toStdString());
  const std::uint8_t embedded = EmbedSignature(colour, payload.c_str(), options, nullptr);
  if (embedded == kResultNoMemory) return Text(TextId::kNotEnoughMemory);
  if (embedded != kResultOk) return Text(TextId::kCannotSign);
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
  if (std::string refused = PictureFor(document, colour, alpha); !refused.empty()) return refused;
  OutputText found;
  const std::uint8_t result = DetectSignature(colour, found, nullptr, kDetectionMode);
  if (result == kResultNoMemory) return Text(TextId::kNotEnoughMemory);
  if (result == kResultOk) signature = found.Signature();
  return {};
}

}  // namespace pmk::gimp
