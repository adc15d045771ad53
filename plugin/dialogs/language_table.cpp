#include "plugin/dialogs/language_table.h"

#include <array>
#include <utility>

#include "platform/private_profile.h"

namespace pmk::ui {
namespace {

// Keys without an entry here have an empty default.
constexpr std::pair<int, const char*> kEnglishDefaults[] = {
    {1, "Press Ctrl+O to open an image"},
    {7, "Please wait ..."},
    {12, "Click and drag to move image, Double click to zoom to best fit, Use mouse wheel to zoom"},
    {16, "Sign Current Image"},
    {17, "Detect Sign On Current Image"},
    {18, "Zoom In (+)"},
    {19, "Zoom Out (-)"},
    {20, "Zoom Image to Fit the Window"},
    {25, "Report"},
    {27, "Error"},
    {28, "Image is too small!"},
    {29, "Image format not supported!"},
    {30, "No sign detected"},
    {31, "Cannot sign already signed image!"},
    {32, "This image cannot be signed!"},
    {33, " - SIGNED"},
    {34, "Your sign was inserted to the higlighted area."},
    {35, "Sign inserted"},
    {37, "About"},
    {39, "Your sign can have 10 letter at most!"},
    {40, "File"},
    {41, "Sign"},
    {42, "Detect"},
    {43, "Help"},
    {47, "Close"},
    {49, "Exit"},
    {50, "Sign Image..."},
    {51, "Batch Signing..."},
    {52, "Detect Sign in the Image..."},
    {53, "Batch Detection..."},
    {55, "Visit Web Site"},
    {58, "About..."},
    {60, "You have to restart application (Plug-In) to affect the language change"},
    {61, "OK"},
    {62, "Cancel"},
    {63, "Select Language:"},
    {65, "Insert your sign (letters, capitals, numbers, dashes):"},
    {66, "Sign used by Pictomarker:"},
    {67, "Characters left:"},
    {68, "Sign Image"},
    {69, "Estimated time"},
    {70, "Elapsed time"},
    {71, "Batch Detection"},
    {72, "Batch Signing"},
    {73, "Result"},
    {74, "Sign Found!"},
    {80, "Jpg quality:"},
    {86, "Warning"},
    {87, "Your sign must have 6 characters at least!"},
    {92, "Signing aborted!"},
    {93, "Canceling the detection!"},
    {95, "Detecting new signature"},
    {96, "Inserting signature"},
    {97, "Options ..."},
    {98, "Number of cores that will be used by the application"},
    {99, "More cores cause faster Pictomarker may slow down other launched applications"},
    {100,
     "The application crashed last time. It might be caused by insufficient memory. Please lower "
     "the number of used cores Menu-File-Options, or crop the image."},
    {101, "Set Zoom 100%"},
    {102, "Set Zoom"},
    {103,
     "Batch signing was successfully finished! You can find signed images in subfolder named "
     "signed in chosen folder."},
    {104,
     "Batch detecting was successfully finished! You can find results in file "
     "detecting_output.log in chosen folder."},
    {108, "Sign will be preserved!"},
    {123, "Detect Sign in the Image - The Simulation of JPEG compression"},
    {124, "Sign will be undetectable!"},
    {129, "Get More Info ->"},
    {136, "Open Shortener URL..."},
    {137, "URL Shortener"},
    {138, "Open"},
    {139, "Test"},
    {140, "Batch Sign/Detect images recursivelly"},
    {141,
     "Cannot sign current image! It might be caused by insufficient memory. Please lower the "
     "number of used cores Menu-File-Options, or crop/scale down the image."},
};

using Table = std::array<QString, kLanguageTextCount + 1>;

Table DefaultTable() {
  Table table;
  for (const auto& [number, text] : kEnglishDefaults) table[number] = QString::fromUtf8(text);
  return table;
}

Table& LoadedTable() {
  static Table table = DefaultTable();
  return table;
}

}  // namespace

const QString& LanguageText(int number) {
  static const QString empty;
  if (number < 1 || number > kLanguageTextCount) return empty;
  return LoadedTable()[number];
}

QString DefaultLanguageText(int number) {
  for (const auto& [key, text] : kEnglishDefaults) {
    if (key == number) return QString::fromUtf8(text);
  }
  return {};
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

QString ReadLanguageText(const QString& plugin_folder, int language_index, int number,
                         const QString& fallback) {
  const std::string text = platform::ReadProfileString(
      LanguageFilePath(plugin_folder).toStdString(), LanguageSection(language_index).toStdString(),
      "string" + std::to_string(number), fallback.toStdString());
  return QString::fromUtf8(text).left(kMaxLanguageTextLength);
}

void LoadLanguageTable(const QString& plugin_folder, int language_index) {
  Table& table = LoadedTable();
  for (int number = 1; number <= kLanguageTextCount; ++number) {
    table[number] =
        ReadLanguageText(plugin_folder, language_index, number, DefaultLanguageText(number));
  }
}

}  // namespace pmk::ui
