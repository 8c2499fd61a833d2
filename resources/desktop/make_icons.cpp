// Draws the program's icon for the desktop menu: a lift portal with its two
// doors under a floor indicator, on a rounded tile. One list of shapes on a
// 64-unit grid is painted into the PNGs of the usual sizes and written out as
// the scalable SVG, so both stay the same drawing. The files it writes are
// committed next to it; run it again only to change the drawing:
//   make_icons resources/desktop/icons
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <cstdio>
#include <vector>

namespace {

constexpr double kGrid = 64.0;

struct Shape {
  enum Kind { kRect, kPolygon } kind;
  std::vector<QPointF> points;  // kRect: top left and size
  double radius;                // corner radius of a rectangle
  QColor colour;
};

Shape Rect(double x, double y, double w, double h, double r, QRgb colour) {
  return {Shape::kRect, {{x, y}, {w, h}}, r, QColor(colour)};
}

Shape Polygon(std::vector<QPointF> points, QRgb colour) {
  return {Shape::kPolygon, std::move(points), 0, QColor(colour)};
}

std::vector<Shape> Drawing() {
  return {
      Rect(2, 2, 60, 60, 12, 0x1F4E5F),                        // tile
      Rect(19, 7, 26, 11, 3, 0x0E2A33),                        // floor indicator
      Polygon({{23, 15.5}, {27.5, 9}, {32, 15.5}}, 0xF2B134),  // up, lit
      Polygon({{34, 9}, {43, 9}, {38.5, 15.5}}, 0x6B5B38),     // down, dark
      Rect(13, 21, 38, 38, 2, 0xDCE3E8),                       // portal
      Rect(16.5, 24, 15, 35, 0, 0x7E98A8),                     // left door
      Rect(32.5, 24, 15, 35, 0, 0x7E98A8),                     // right door
      Rect(13, 57, 38, 2, 0, 0x9AA8B1),                        // sill
  };
}

QImage Paint(const std::vector<Shape>& shapes, int size) {
  QImage img(size, size, QImage::Format_ARGB32);
  img.fill(Qt::transparent);
  QPainter p(&img);
  p.setRenderHint(QPainter::Antialiasing);
  p.scale(size / kGrid, size / kGrid);
  p.setPen(Qt::NoPen);
  for (const Shape& s : shapes) {
    p.setBrush(s.colour);
    if (s.kind == Shape::kRect)
      p.drawRoundedRect(QRectF(s.points[0], QSizeF(s.points[1].x(), s.points[1].y())), s.radius, s.radius);
    else
      p.drawPolygon(s.points.data(), static_cast<int>(s.points.size()));
  }
  return img;
}

QByteArray Svg(const std::vector<Shape>& shapes) {
  QByteArray out =
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
      "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"64\" height=\"64\" viewBox=\"0 0 64 64\">\n";
  for (const Shape& s : shapes) {
    const QByteArray fill = s.colour.name().toLatin1();
    if (s.kind == Shape::kRect) {
      out += QStringLiteral("  <rect x=\"%1\" y=\"%2\" width=\"%3\" height=\"%4\" rx=\"%5\" fill=\"%6\"/>\n")
                 .arg(s.points[0].x())
                 .arg(s.points[0].y())
                 .arg(s.points[1].x())
                 .arg(s.points[1].y())
                 .arg(s.radius)
                 .arg(QString::fromLatin1(fill))
                 .toUtf8();
    } else {
      QStringList points;
      for (const QPointF& pt : s.points) points << QStringLiteral("%1,%2").arg(pt.x()).arg(pt.y());
      out += QStringLiteral("  <polygon points=\"%1\" fill=\"%2\"/>\n")
                 .arg(points.join(' '), QString::fromLatin1(fill))
                 .toUtf8();
    }
  }
  return out + "</svg>\n";
}

}  // namespace

int main(int argc, char** argv) {
  QGuiApplication app(argc, argv);
  const QDir dir(argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("."));
  const std::vector<Shape> shapes = Drawing();
  for (int size : {16, 32, 48, 64, 128, 256}) {
    const QString path = dir.filePath(QStringLiteral("vertamo-%1.png").arg(size));
    if (!Paint(shapes, size).save(path, "PNG")) {
      std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
      return 1;
    }
  }
  QFile svg(dir.filePath(QStringLiteral("vertamo.svg")));
  if (!svg.open(QIODevice::WriteOnly) || svg.write(Svg(shapes)) < 0) {
    std::fprintf(stderr, "cannot write %s\n", qPrintable(svg.fileName()));
    return 1;
  }
  return 0;
}
