// The outcome of a detection: "Result" (143) with "No sign detected", or
// "Sign Found!" (144) with the signature and a link to the shortening service.
#pragma once

#include <QDialog>

namespace pmk::ui {

class ResultBox : public QDialog {
 public:
  // With `signature_found`, template 144 and its button 1031 that opens the
  // URL-shortening service's address for `text`; else template 143.
  ResultBox(QWidget* viewer, const QString& text, bool signature_found);
};

// Modal; return when the user closes the box.
void ShowResultsBox(QWidget* viewer, const QString& text);
void ShowSignFoundBox(QWidget* viewer, const QString& signature);

}  // namespace pmk::ui
