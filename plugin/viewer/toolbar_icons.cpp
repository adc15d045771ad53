#include "plugin/viewer/toolbar_icons.h"

#include <QPainter>
#include <QPixmap>
#include <QString>

#ifdef PMK_TOOLBAR_PNG
// Builds whose Qt has no SVG module carry the images as PNG files drawn from
// the SVG sources on the build host (tools/toolbar_png), pixel for pixel.
static void InitialiseToolbarResources() {
  Q_INIT_RESOURCE(toolbar_png);
}
#else
#include <QSvgRenderer>

// The resources live in a static library: register them before first use.
static void InitialiseToolbarResources() {
  Q_INIT_RESOURCE(toolbar_icons);
}
#endif

namespace pmk::ui {

#ifdef PMK_TOOLBAR_PNG

QImage ToolbarImage(const char* name) {
  InitialiseToolbarResources();
  const QImage image(QStringLiteral(":/pictomarker/icons/%1.png").arg(QLatin1String(name)));
  return image.isNull() ? image : image.convertToFormat(QImage::Format_ARGB32);
}

QSize ToolbarImageSize() {
  const QImage folder = ToolbarImage("IDP_FOLDER");
  return folder.isNull() ? QSize(24, 24) : folder.size();
}

#else

namespace {

QString ResourcePath(const char* name) {
  return QStringLiteral(":/pictomarker/icons/%1.svg").arg(QLatin1String(name));
}

}  // namespace

QSize ToolbarImageSize() {
  InitialiseToolbarResources();
  QSvgRenderer renderer(ResourcePath("IDP_FOLDER"));
  return renderer.isValid() ? renderer.defaultSize() : QSize(24, 24);
}

QImage ToolbarImage(const char* name) {
  InitialiseToolbarResources();
  QSvgRenderer renderer(ResourcePath(name));
  if (!renderer.isValid()) return {};
  QImage image(ToolbarImageSize(), QImage::Format_ARGB32);
  image.fill(Qt::transparent);
  QPainter painter(&image);
  renderer.render(&painter);
  return image;
}

#endif

QImage DisabledToolbarImage(const QImage& image) {
  QImage grey = image.convertToFormat(QImage::Format_ARGB32);
  for (int y = 0; y < grey.height(); ++y) {
    auto* row = reinterpret_cast<QRgb*>(grey.scanLine(y));
    for (int x = 0; x < grey.width(); ++x) {
      const QRgb p = row[x];
      const int level =
          static_cast<int>((0.3 * qRed(p) + 0.5 * qGreen(p) + 0.2 * qBlue(p)) * 0.43 + 120) - 70;
      const int alpha = qAlpha(p) >= 100 ? qAlpha(p) : qAlpha(p) / 2;
      row[x] = qRgba(level, level, level, alpha);
    }
  }
  return grey;
}

QIcon ToolbarIcon(const char* name) {
  const QImage image = ToolbarImage(name);
  QIcon icon;
  if (image.isNull()) return icon;
  icon.addPixmap(QPixmap::fromImage(image), QIcon::Normal);
  icon.addPixmap(QPixmap::fromImage(DisabledToolbarImage(image)), QIcon::Disabled);
  return icon;
}

}  // namespace pmk::ui
