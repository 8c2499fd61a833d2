#include "voice/ui/selector_artwork.h"

#include <QImage>
#include <QPainter>
#include <QPainterPath>

#include "uikit/artwork.h"

namespace vertamo::ui {
namespace {

// Both pictures are drawn on a 40 x 40 grid and scaled to the size asked for.
constexpr qreal kGrid = 40.0;

const QColor kSteel(0x4A, 0x55, 0x60);
const QColor kDoor(0xC8, 0xD3, 0xDD);
const QColor kRope(0x30, 0x30, 0x30);
const QColor kLamp(0x2E, 0xA0, 0x44);
const QColor kMotor(0x2F, 0x5F, 0x9E);

template <typename Draw>
QPixmap Picture(int size, Draw draw) {
  QImage image = ScreenCanvas(size, size);
  QPainter p(&image);
  p.setRenderHint(QPainter::Antialiasing);
  p.scale(size / kGrid, size / kGrid);
  draw(p);
  p.end();
  return QPixmap::fromImage(image);
}

}  // namespace

QPixmap CabinPicture(int size) {
  return Picture(size, [](QPainter& p) {
    // The rope, then the car: frame, the direction lamp, two doors.
    p.setPen(QPen(kRope, 1.6));
    p.drawLine(QPointF(20, 0), QPointF(20, 5));
    p.setPen(QPen(kSteel.darker(130), 1.2));
    p.setBrush(kSteel);
    p.drawRoundedRect(QRectF(7, 5, 26, 34), 2.5, 2.5);
    p.setPen(Qt::NoPen);
    p.setBrush(kLamp);
    p.drawPolygon(QPolygonF({QPointF(16.5, 11), QPointF(20, 7.5), QPointF(23.5, 11)}));
    p.drawPolygon(QPolygonF({QPointF(16.5, 12.5), QPointF(20, 16), QPointF(23.5, 12.5)}));
    p.setPen(QPen(kSteel.darker(150), 0.8));
    p.setBrush(kDoor);
    p.drawRect(QRectF(10, 18, 9.6, 19));
    p.drawRect(QRectF(20.4, 18, 9.6, 19));
  });
}

QPixmap MachineRoomPicture(int size) {
  return Picture(size, [](QPainter& p) {
    // The floor the machine stands on.
    p.setPen(Qt::NoPen);
    p.setBrush(kSteel.lighter(150));
    p.drawRect(QRectF(1, 25, 38, 3));
    // The motor with its cooling fins.
    p.setPen(QPen(kMotor.darker(140), 1));
    p.setBrush(kMotor);
    p.drawRoundedRect(QRectF(2, 9, 18, 15), 2, 2);
    p.setPen(QPen(kMotor.lighter(160), 1));
    for (qreal x = 6; x < 19; x += 3.5) p.drawLine(QPointF(x, 11), QPointF(x, 22));
    // The shaft and the traction sheave with its grooves.
    p.setPen(QPen(kRope, 2.2));
    p.drawLine(QPointF(20, 16.5), QPointF(25, 16.5));
    p.setPen(QPen(kSteel.darker(130), 1.2));
    p.setBrush(kDoor);
    p.drawEllipse(QPointF(30, 16.5), 8, 8);
    p.setBrush(kSteel);
    p.drawEllipse(QPointF(30, 16.5), 2.5, 2.5);
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(QPointF(30, 16.5), 5.5, 5.5);
    // The ropes down the shaft, through the floor.
    p.setPen(QPen(kRope, 1.6));
    p.drawLine(QPointF(22.5, 17), QPointF(22.5, 40));
    p.drawLine(QPointF(37.5, 17), QPointF(37.5, 40));
  });
}

}  // namespace vertamo::ui
