// Helpers of the window tests: pixels of rendered widgets, and optional
// screenshots for a person to look at (set VERTAMO_SHOTS_DIR to a folder).
#pragma once

#include <QDir>
#include <QImage>
#include <QString>
#include <QWidget>

namespace vertamo::test {

// What the widget shows, its parent's background included where it paints nothing.
inline QImage Rendered(QWidget& widget) {
  if (QWidget* parent = widget.parentWidget())
    return parent->grab(widget.geometry()).toImage().convertToFormat(QImage::Format_RGB32);
  return widget.grab().toImage().convertToFormat(QImage::Format_RGB32);
}

inline void SaveShot(const QImage& image, const QString& name) {
  const QString dir = qEnvironmentVariable("VERTAMO_SHOTS_DIR");
  if (dir.isEmpty()) return;
  QDir().mkpath(dir);
  image.save(QDir(dir).filePath(name + ".png"));
}

inline QRgb Rgb(int winColor) {
  return qRgb(winColor & 0xFF, (winColor >> 8) & 0xFF, (winColor >> 16) & 0xFF);
}

// Number of pixels of exactly that colour.
inline int CountColor(const QImage& image, QRgb color) {
  int n = 0;
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x)
      if ((image.pixel(x, y) & 0xFFFFFFu) == (color & 0xFFFFFFu)) ++n;
  return n;
}

}  // namespace vertamo::test
