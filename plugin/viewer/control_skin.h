// The dark grey look of every window of the plug-in.
//
// The look lives on our own windows only: the application's style and
// palette are never changed, so a Qt-based editor that hosts the plug-in keeps
// its own look while the viewer runs and after it. A skinned window and every
// widget that later appears under it (dialogs and pop-ups it owns included)
// get Qt's Fusion style with the dark palette.
#pragma once

#include <QColor>
#include <QPalette>

class QStyle;
class QWidget;

namespace pmk::ui {

// Builds the style and the colour table (safe to call again). Needs a
// QApplication.
void SetUpControlSkin();

// Gives `window` and all its children, present and future, the skin.
void ApplyControlSkin(QWidget* window);

// Releases the style and stops skinning new widgets; windows that still
// exist fall back to the application's look.
void ReleaseControlSkin();

// The colour table (valid without set-up) and the colour of the area behind
// pictures.
QPalette ControlSkinPalette();
QColor ApplicationWorkspaceColour();

// The skin's style while it is set up, else null.
QStyle* ControlSkinStyle();

}  // namespace pmk::ui
