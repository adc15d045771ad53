// The toolbar's images: our own SVG drawings, built in as Qt resources.
#pragma once

#include <QIcon>
#include <QImage>
#include <QSize>

namespace pmk::ui {

// Every image is drawn at the size of IDP_FOLDER.
QSize ToolbarImageSize();

// The image of resource `name` ("IDP_PENCIL" ...) as 32-bit colour with
// alpha; a null image for an unknown name.
QImage ToolbarImage(const char* name);

// The disabled look of an image: each pixel becomes the grey
// (0.3 red + 0.5 green + 0.2 blue) * 0.43 + 120, truncated, minus 70, and keeps
// its alpha when that is at least 100, else half of it.
QImage DisabledToolbarImage(const QImage& image);

// Both looks in one icon.
QIcon ToolbarIcon(const char* name);

}  // namespace pmk::ui
