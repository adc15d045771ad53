// Small pieces every dialog of the plug-in shares.
#pragma once

#include <QLayout>
#include <QMessageBox>
#include <QString>

class QWidget;
class QPushButton;

namespace pmk::ui {

// Gives a dialog or control its id as object name.
void SetId(QWidget* widget, int id);

// A push button with its id and text.
QPushButton* MakeButton(int id, const QString& text, QWidget* parent);

// Moves the dialog so that its centre lies over the viewer's centre.
void CentreOver(QWidget* dialog, const QWidget* viewer);

// Lays out a dialog's controls above its OK and Cancel buttons, which sit
// at the right.
void LayOutAboveButtons(QWidget* dialog, QLayout* controls, QWidget* ok, QWidget* cancel);

// The dialog's font in weight 700 and 25 pixels high, for signatures and results.
void UseLargeBoldFont(QWidget* widget);

// A modal message box with the given icon and one OK button.
void ShowMessage(QWidget* parent, const QString& text, const QString& caption,
                 QMessageBox::Icon icon = QMessageBox::NoIcon);

// Opens a web address in the user's browser.
void OpenWebAddress(const QString& address);

}  // namespace pmk::ui
