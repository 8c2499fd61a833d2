// Draws the widget artwork once: the dial face "FONC" and the speaker frames
// "BITMAP00".."BITMAP02". The PNGs it writes are committed next to it and
// compiled in as Qt resources; run it again only to change the drawings:
//   make_artwork resources/artwork
#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QtMath>
#include <cstdio>

namespace {

// The dial's pivot lies below the face; the needle and the marker are drawn
// around it by the indicator (needle radius 51..84, marker 89..96, angles 120
// degrees at the minimum to 59 at the maximum).
constexpr QPointF kPivot(49.5, 103.5);
constexpr double kMinAngle = 120.0;
constexpr double kMaxAngle = 59.0;

QPointF Polar(double angleDeg, double r) {
  const double a = qDegreesToRadians(angleDeg);
  return {kPivot.x() + std::cos(a) * r, kPivot.y() - std::sin(a) * r};
}

void ArcBand(QPainter& p, double r0, double r1, double fromDeg, double toDeg, const QColor& c) {
  QPainterPath path;
  const QRectF outer(kPivot.x() - r1, kPivot.y() - r1, 2 * r1, 2 * r1);
  const QRectF inner(kPivot.x() - r0, kPivot.y() - r0, 2 * r0, 2 * r0);
  path.arcMoveTo(outer, fromDeg);
  path.arcTo(outer, fromDeg, toDeg - fromDeg);
  path.arcTo(inner, toDeg, fromDeg - toDeg);
  path.closeSubpath();
  p.fillPath(path, c);
}

QImage DialFace() {
  const QColor bezel(0x2F, 0x3B, 0x45);  // pixel (2, 2): the needle and caption colour
  const QColor face(0xF4, 0xF0, 0xE4);
  const QColor scale(0x55, 0x61, 0x6B);
  QImage img(100, 68, QImage::Format_RGB32);  // stored as 24 bits per pixel
  img.fill(bezel);
  QPainter p(&img);
  p.setRenderHint(QPainter::Antialiasing);
  // Face with a soft top light.
  QLinearGradient g(0, 3, 0, 64);
  g.setColorAt(0, face.lighter(103));
  g.setColorAt(1, face.darker(104));
  p.setPen(Qt::NoPen);
  p.setBrush(g);
  p.drawRoundedRect(QRectF(3, 3, 94, 62), 3, 3);
  // Loud end of the scale: a muted red band under the last sixth.
  const double redFrom = kMinAngle + (kMaxAngle - kMinAngle) * 0.80;
  ArcBand(p, 85.5, 88.5, redFrom, kMaxAngle, QColor(0xCF, 0x6F, 0x5F));
  ArcBand(p, 85.5, 88.5, kMinAngle, redFrom, QColor(0x9F, 0xBF, 0x9A));
  // Scale arc and ticks.
  p.setPen(QPen(scale, 1.2));
  p.setBrush(Qt::NoBrush);
  const QRectF arc(kPivot.x() - 88.5, kPivot.y() - 88.5, 177, 177);
  p.drawArc(arc, qRound(kMaxAngle * 16), qRound((kMinAngle - kMaxAngle) * 16));
  for (int i = 0; i <= 10; ++i) {
    const double a = kMinAngle + (kMaxAngle - kMinAngle) * i / 10.0;
    const bool major = i % 5 == 0;
    p.setPen(QPen(scale, major ? 1.6 : 1.1, Qt::SolidLine, Qt::FlatCap));
    p.drawLine(Polar(a, 88.5), Polar(a, major ? 95.0 : 92.5));
  }
  // Hub cover over the needle's root, with a slot for the lamp.
  QRadialGradient cover(kPivot, 50);
  cover.setColorAt(0.80, QColor(0x3C, 0x48, 0x53));
  cover.setColorAt(1.00, QColor(0x52, 0x5F, 0x6A));
  p.setPen(Qt::NoPen);
  p.setBrush(cover);
  p.drawEllipse(kPivot, 50.0, 50.0);
  p.setRenderHint(QPainter::Antialiasing, false);
  p.fillRect(QRect(45, 60, 10, 5), QColor(0x22, 0x2B, 0x33));  // the lamp fills 46..53 x 61..63
  p.fillRect(QRect(46, 61, 8, 3), QColor(0x80, 0x80, 0x80));
  // Bezel: a crisp one-pixel edge inside the frame.
  p.setPen(QColor(0x1E, 0x27, 0x2E));
  p.setBrush(Qt::NoBrush);
  p.drawRect(0, 0, 99, 67);
  p.end();
  img.setPixelColor(2, 2, bezel);
  return img.convertToFormat(QImage::Format_RGB888);
}

void SpeakerGlyph(QPainter& p, const QColor& ink, int waves) {
  QPainterPath body;
  body.addRoundedRect(QRectF(31, 52, 17, 26), 3, 3);
  QPainterPath cone;
  cone.moveTo(46, 53);
  cone.lineTo(66, 36);
  cone.quadTo(69, 34, 69, 38);
  cone.lineTo(69, 92);
  cone.quadTo(69, 96, 66, 94);
  cone.lineTo(46, 77);
  cone.closeSubpath();
  p.setPen(Qt::NoPen);
  p.setBrush(ink);
  p.drawPath(body.united(cone));
  p.setBrush(Qt::NoBrush);
  p.setPen(QPen(ink, 6, Qt::SolidLine, Qt::RoundCap));
  for (int i = 0; i < waves; ++i) {
    const double r = 12 + 11 * i;
    const QRectF box(70 - r, 65 - r, 2 * r, 2 * r);
    p.drawArc(box, -48 * 16, 96 * 16);
  }
}

QImage Speaker(const QColor& fill, const QColor& rim, const QColor& ink, int waves) {
  QImage img(130, 130, QImage::Format_ARGB32);
  img.fill(Qt::transparent);
  QPainter p(&img);
  p.setRenderHint(QPainter::Antialiasing);
  // A soft shadow keeps the badge readable on light and dark maps alike.
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(0, 0, 0, 50));
  p.drawEllipse(QRectF(6, 8, 120, 120));
  QRadialGradient g(QPointF(52, 45), 80);
  g.setColorAt(0, fill.lighter(112));
  g.setColorAt(1, fill.darker(106));
  p.setBrush(g);
  p.setPen(QPen(rim, 3));
  p.drawEllipse(QRectF(5, 5, 118, 118));
  SpeakerGlyph(p, ink, waves);
  p.end();
  return img;
}

bool Save(const QImage& img, const QDir& dir, const char* name) {
  const QString path = dir.filePath(QString::fromLatin1(name) + ".png");
  if (img.save(path, "PNG")) return true;
  std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
  return false;
}

}  // namespace

int main(int argc, char** argv) {
  QGuiApplication app(argc, argv);
  const QDir dir(argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("."));
  bool ok = Save(DialFace(), dir, "FONC");
  // Idle: a quiet grey badge. Calling: two amber frames that differ in the
  // sound waves and a little in warmth, so the blink is seen but not harsh.
  ok &= Save(Speaker(QColor(0xE3, 0xE8, 0xEC), QColor(0x8A, 0x96, 0xA0), QColor(0x6B, 0x78, 0x83), 0), dir,
             "BITMAP00");
  ok &= Save(Speaker(QColor(0xF7, 0xC2, 0x5A), QColor(0xB0, 0x6A, 0x1A), QColor(0x4A, 0x2E, 0x10), 1), dir,
             "BITMAP01");
  ok &= Save(Speaker(QColor(0xF2, 0xA2, 0x3C), QColor(0xA0, 0x55, 0x10), QColor(0x4A, 0x2E, 0x10), 3), dir,
             "BITMAP02");
  return ok ? 0 : 1;
}
