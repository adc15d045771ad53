#include "plugin/dialogs/language_table.h"

#include <array>
#include <iterator>
#include <string>
#include <utility>

#include "platform/private_profile.h"
#include "plugin/dialogs/qt_path.h"

namespace pmk::ui {
namespace {

// Keys without an entry here have an empty default.
constexpr std::pair<TextId, const char*> kEnglishDefaults[] = {
    {TextId::kOpenImageHint, "Press Ctrl+O to open an image"},
    {TextId::kPleaseWait, "Please wait ..."},
    {TextId::kNavigationHint,
     "Click and drag to move image, Double click to zoom to best fit, Use mouse wheel to zoom"},
    {TextId::kSignTooltip, "Sign Current Image"},
    {TextId::kDetectTooltip, "Detect Sign On Current Image"},
    {TextId::kZoomInTooltip, "Zoom In (+)"},
    {TextId::kZoomOutTooltip, "Zoom Out (-)"},
    {TextId::kZoomFitTooltip, "Zoom Image to Fit the Window"},
    {TextId::kReportCaption, "Report"},
    {TextId::kErrorCaption, "Error"},
    {TextId::kImageTooSmall, "Image is too small!"},
    {TextId::kFormatNotSupported, "Image format not supported!"},
    {TextId::kNoSignDetected, "No sign detected"},
    {TextId::kAlreadySigned, "Cannot sign already signed image!"},
    {TextId::kCannotSign, "This image cannot be signed!"},
    {TextId::kSignedTitleSuffix, " - SIGNED"},
    {TextId::kSignInserted, "Your sign was inserted to the higlighted area."},
    {TextId::kSignInsertedCaption, "Sign inserted"},
    {TextId::kAboutCaption, "About"},
    {TextId::kSignatureTooLong, "Your sign can have 10 letter at most!"},
    {TextId::kFileMenu, "File"},
    {TextId::kSignMenu, "Sign"},
    {TextId::kDetectMenu, "Detect"},
    {TextId::kHelpMenu, "Help"},
    {TextId::kCloseButton, "Close"},
    {TextId::kExitItem, "Exit"},
    {TextId::kSignImageItem, "Sign Image..."},
    {TextId::kBatchSigningItem, "Batch Signing..."},
    {TextId::kDetectItem, "Detect Sign in the Image..."},
    {TextId::kBatchDetectionItem, "Batch Detection..."},
    {TextId::kVisitWebSiteItem, "Visit Web Site"},
    {TextId::kAboutItem, "About..."},
    {TextId::kRestartAfterLanguageChange,
     "You have to restart application (Plug-In) to affect the language change"},
    {TextId::kOkButton, "OK"},
    {TextId::kCancelButton, "Cancel"},
    {TextId::kSelectLanguage, "Select Language:"},
    {TextId::kTypeSignature, "Insert your sign (letters, capitals, numbers, dashes):"},
    {TextId::kSignatureAsUsed, "Sign used by Pictomarker:"},
    {TextId::kCharactersLeft, "Characters left:"},
    {TextId::kSignImageTitle, "Sign Image"},
    {TextId::kEstimatedTime, "Estimated time"},
    {TextId::kElapsedTime, "Elapsed time"},
    {TextId::kBatchDetectionTitle, "Batch Detection"},
    {TextId::kBatchSigningTitle, "Batch Signing"},
    {TextId::kResultTitle, "Result"},
    {TextId::kSignFoundTitle, "Sign Found!"},
    {TextId::kJpegQuality, "Jpg quality:"},
    {TextId::kWarningCaption, "Warning"},
    {TextId::kSignatureTooShort, "Your sign must have 6 characters at least!"},
    {TextId::kSigningAborted, "Signing aborted!"},
    {TextId::kCancellingDetection, "Canceling the detection!"},
    {TextId::kSearchingSignature, "Detecting new signature"},
    {TextId::kInsertingSignature, "Inserting signature"},
    {TextId::kOptions, "Options ..."},
    {TextId::kCoresInUse, "Number of cores that will be used by the application"},
    {TextId::kMoreCoresSlowOthers,
     "More cores cause faster Pictomarker may slow down other launched applications"},
    {TextId::kCrashedLastTime,
     "The application crashed last time. It might be caused by insufficient memory. Please lower "
     "the number of used cores Menu-File-Options, or crop the image."},
    {TextId::kZoom100Tooltip, "Set Zoom 100%"},
    {TextId::kZoomBoxTooltip, "Set Zoom"},
    {TextId::kBatchSigningDone,
     "Batch signing was successfully finished! You can find signed images in subfolder named "
     "signed in chosen folder."},
    {TextId::kBatchDetectionDone,
     "Batch detecting was successfully finished! You can find results in file "
     "detecting_output.log in chosen folder."},
    {TextId::kSignPreserved, "Sign will be preserved!"},
    {TextId::kJpegCheckItem, "Detect Sign in the Image - The Simulation of JPEG compression"},
    {TextId::kSignUndetectable, "Sign will be undetectable!"},
    {TextId::kMoreInfoButton, "Get More Info ->"},
    {TextId::kShortenerItem, "Open Shortener URL..."},
    {TextId::kShortenerGroup, "URL Shortener"},
    {TextId::kOpenButton, "Open"},
    {TextId::kTestButton, "Test"},
    {TextId::kRecursiveBatch, "Batch Sign/Detect images recursivelly"},
    {TextId::kNotEnoughMemory,
     "Cannot sign current image! It might be caused by insufficient memory. Please lower the "
     "number of used cores Menu-File-Options, or crop/scale down the image."},
};

// Every named text has its own key within the table.
static_assert([] {
  for (std::size_t i = 0; i < std::size(kEnglishDefaults); ++i) {
    const int number = TextNumber(kEnglishDefaults[i].first);
    if (number < 1 || number > kLanguageTextCount) return false;
    for (std::size_t j = 0; j < i; ++j) {
      if (kEnglishDefaults[j].first == kEnglishDefaults[i].first) return false;
    }
  }
  return true;
}());

using Table = std::array<QString, kLanguageTextCount + 1>;

QString DefaultText(int number) {
  for (const auto& [id, text] : kEnglishDefaults) {
    if (TextNumber(id) == number) return QString::fromUtf8(text);
  }
  return {};
}

QString ReadKey(const QString& plugin_folder, int language_index, int number,
                const QString& fallback) {
  const std::string text =
      platform::ReadProfileString(PathFromQString(LanguageFilePath(plugin_folder)),
                                  LanguageSection(language_index).toStdString(),
                                  "string" + std::to_string(number), fallback.toStdString());
  return QString::fromUtf8(text).left(kMaxLanguageTextLength);
}

Table DefaultTable() {
  Table table;
  for (const auto& [id, text] : kEnglishDefaults) table[TextNumber(id)] = QString::fromUtf8(text);
  return table;
}

Table& LoadedTable() {
  static Table table = DefaultTable();
  return table;
}

}  // namespace

const QString& LanguageText(TextId id) {
  static const QString empty;
  const int number = TextNumber(id);
  if (number < 1 || number > kLanguageTextCount) return empty;
  return LoadedTable()[number];
}

QString DefaultLanguageText(TextId id) {
  return DefaultText(TextNumber(id));
}

QString RestartAfterLanguageChangeDefault() {
  return QStringLiteral("You have to restart application to affect the language change");
}

QString LanguageFilePath(const QString& plugin_folder) {
  return plugin_folder + QStringLiteral("/Pictomarker_loc.ini");
}

QString LanguageSection(int language_index) {
  return QString::number(language_index);
}

QString ReadLanguageText(const QString& plugin_folder, int language_index, TextId id,
                         const QString& fallback) {
  return ReadKey(plugin_folder, language_index, TextNumber(id), fallback);
}

void LoadLanguageTable(const QString& plugin_folder, int language_index) {
  Table& table = LoadedTable();
  for (int number = 1; number <= kLanguageTextCount; ++number) {
    table[number] = ReadKey(plugin_folder, language_index, number, DefaultText(number));
  }
}

}  // namespace pmk::ui
