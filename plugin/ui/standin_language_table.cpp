// STAND-IN: see standin_language_table.h.
#include "plugin/ui/standin_language_table.h"

#include <map>

namespace pmk::ui {

const QString& LanguageText(int number) {
  static const std::map<int, QString> kTexts = {
      {1, "Press Ctrl+O to open an image"},
      {12,
       "Click and drag to move image, Double click to zoom to best fit, Use mouse wheel to zoom"},
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
      {40, "File"},
      {41, "Sign"},
      {42, "Detect"},
      {43, "Help"},
      {49, "Exit"},
      {50, "Sign Image..."},
      {51, "Batch Signing..."},
      {52, "Detect Sign in the Image..."},
      {53, "Batch Detection..."},
      {55, "Visit Web Site"},
      {58, "About..."},
      {86, "Warning"},
      {92, "Signing aborted!"},
      {95, "Detecting new signature"},
      {96, "Inserting signature"},
      {97, "Options ..."},
      {100,
       "The application crashed last time. It might be caused by insufficient memory. Please "
       "lower the number of used cores Menu-File-Options, or crop the image."},
      {101, "Set Zoom 100%"},
      {102, "Set Zoom"},
      {123, "Detect Sign in the Image - The Simulation of JPEG compression"},
      {136, "Open Shortener URL..."},
      {141,
       "Cannot sign current image! It might be caused by insufficient memory. Please lower "
       "the number of used cores Menu-File-Options, or crop/scale down the image."},
  };
  static const QString kEmpty;
  const auto found = kTexts.find(number);
  return found != kTexts.end() ? found->second : kEmpty;
}

}  // namespace pmk::ui
