#include "uikit/artwork.h"

#include <QFile>
#include <QGuiApplication>
#include <algorithm>
#include <cmath>

// Q_INIT_RESOURCE must be used outside any namespace.
static void RegisterArtworkResources() { Q_INIT_RESOURCE(artwork); }

namespace vertamo::ui {

QImage ScreenCanvas(int width, int height) {
  const qreal ratio = qGuiApp ? std::max<qreal>(qGuiApp->devicePixelRatio(), 1.0) : 1.0;
  QImage image(static_cast<int>(std::ceil(width * ratio)), static_cast<int>(std::ceil(height * ratio)),
               QImage::Format_ARGB32_Premultiplied);
  image.setDevicePixelRatio(ratio);
  image.fill(Qt::transparent);
  return image;
}

void InitArtwork() {
  static const bool registered = (RegisterArtworkResources(), true);
  (void)registered;
}

QImage LoadArtwork(const QString& name) {
  InitArtwork();
  const QString path = QStringLiteral(":/") + name;
  if (name.isEmpty() || !QFile::exists(path)) return {};
  return QImage(path);
}

}  // namespace vertamo::ui
