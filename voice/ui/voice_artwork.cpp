#include "voice/ui/voice_artwork.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

#include "uikit/artwork.h"

namespace vertamo::ui {

namespace {

QImage Canvas() { return ScreenCanvas(kVoicePictureSize, kVoicePictureSize); }

}  // namespace

QImage MicrophonePicture() {
  QImage image = Canvas();
  QPainter p(&image);
  p.setRenderHint(QPainter::Antialiasing);
  // The head: a rounded capsule with a grille.
  QLinearGradient metal(16, 0, 32, 0);
  metal.setColorAt(0, QColor(0x50, 0x50, 0x58));
  metal.setColorAt(0.45, QColor(0xD8, 0xD8, 0xE0));
  metal.setColorAt(1, QColor(0x40, 0x40, 0x48));
  p.setPen(QPen(QColor(0x20, 0x20, 0x28), 1.5));
  p.setBrush(metal);
  p.drawRoundedRect(QRectF(16, 3, 16, 26), 8, 8);
  p.setPen(QPen(QColor(0x30, 0x30, 0x38, 0xA0), 1));
  for (int y = 9; y <= 23; y += 4) p.drawLine(QPointF(18, y), QPointF(30, y));
  // The holder: a cradle, a stem and a foot.
  p.setPen(QPen(QColor(0x20, 0x20, 0x28), 3, Qt::SolidLine, Qt::RoundCap));
  p.setBrush(Qt::NoBrush);
  p.drawArc(QRectF(11, 8, 26, 26), 200 * 16, 140 * 16);
  p.drawLine(QPointF(24, 34), QPointF(24, 41));
  p.drawLine(QPointF(15, 43), QPointF(33, 43));
  return image;
}

QImage LoudspeakerPicture() {
  QImage image = Canvas();
  QPainter p(&image);
  p.setRenderHint(QPainter::Antialiasing);
  // The magnet box and the cone.
  QPainterPath cone;
  cone.moveTo(6, 17);
  cone.lineTo(14, 17);
  cone.lineTo(25, 7);
  cone.lineTo(25, 41);
  cone.lineTo(14, 31);
  cone.lineTo(6, 31);
  cone.closeSubpath();
  QLinearGradient body(0, 7, 0, 41);
  body.setColorAt(0, QColor(0x60, 0x60, 0x70));
  body.setColorAt(0.5, QColor(0xC8, 0xC8, 0xD4));
  body.setColorAt(1, QColor(0x50, 0x50, 0x60));
  p.setPen(QPen(QColor(0x20, 0x20, 0x28), 1.5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
  p.setBrush(body);
  p.drawPath(cone);
  p.drawLine(QPointF(14, 17), QPointF(14, 31));
  // Three sound waves.
  p.setBrush(Qt::NoBrush);
  p.setPen(QPen(QColor(0x00, 0x60, 0xC0), 2.5, Qt::SolidLine, Qt::RoundCap));
  for (int i = 0; i < 3; ++i) {
    const double r = 6 + 6 * i;
    p.drawArc(QRectF(26 - r, 24 - r, 2 * r, 2 * r), -45 * 16, 90 * 16);
  }
  return image;
}

}  // namespace vertamo::ui
