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

// How wide a window must be for its title bar to show the whole title: the
// title in the window's font, bold as title bars commonly draw it, beside
// the window icon and the bar's three buttons.
int TitleBarWidth(const QWidget* window);

// Keeps `dialog` at least TitleBarWidth() wide; call once its title and its
// top-level box layout are set. A dialog sized to its controls alone would
// cut a long title (or a translated one) to "Test si... ssion".
void ReserveTitleWidth(QWidget* dialog);

// The dialog's font in weight 700 and 25 pixels high, for signatures and results.
void UseLargeBoldFont(QWidget* widget);

// A modal message box with the given icon and one OK button.
void ShowMessage(QWidget* parent, const QString& text, const QString& caption,
                 QMessageBox::Icon icon = QMessageBox::NoIcon);

// Opens a web address in the user's browser.
void OpenWebAddress(const QString& address);

}  // namespace pmk::ui
