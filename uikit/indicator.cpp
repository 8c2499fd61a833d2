#include "uikit/indicator.h"

#include <QPainter>
#include <cmath>
#include <numbers>

#include "uikit/artwork.h"
#include "uikit/win_color.h"

namespace vertamo::ui {

namespace {

int Clamp(int value, int lo, int hi) {
  // Min may exceed Max for a moment while both are being set: the upper bound
  // is applied first, so no range is undefined.
  if (value > hi) value = hi;
  if (value < lo) value = lo;
  return value;
}

QString FaceName(int theme) {
  switch (theme) {
    case 1:
      return QStringLiteral("FONR");
    case 2:
      return QStringLiteral("FONG");
    case 3:
      return QStringLiteral("FONB");
    case 4:
      return QStringLiteral("FONO");
    case 6:
      return QStringLiteral("FONC");
    default:
      return QStringLiteral("FONY");
  }
}

}  // namespace

TIndicator::TIndicator(QWidget* parent) : QWidget(parent) {
  setAttribute(Qt::WA_OpaquePaintEvent);
  font_ = font();
  font_.setPointSize(8);
  theme_ = -1;
  SetTheme(kDefaultTheme);
}

void TIndicator::SetMin(int value) {
  min_ = value;
  update();
}

void TIndicator::SetMax(int value) {
  max_ = value;
  update();
}

void TIndicator::SetPosition(int value) {
  position_ = Clamp(value, min_, max_);
  update();
}

void TIndicator::SetMarker(int value) {
  marker_ = Clamp(value, min_, max_);
  update();
}

void TIndicator::SetCaption(const QString& caption) {
  caption_ = caption;
  update();
}

void TIndicator::SetFont(const QFont& font) {
  font_ = font;
  update();
}

void TIndicator::SetTheme(int theme) {
  if (theme < 0 || theme > 6) return;
  theme_ = theme;
  const QImage face = LoadArtwork(FaceName(theme));
  if (!face.isNull()) background_ = face.convertToFormat(QImage::Format_RGB32);
  if (theme == 5) Gray();
  if (!background_.isNull()) {
    setFixedSize(background_.size());
    if (background_.width() > 2 && background_.height() > 2) pen_ = background_.pixelColor(2, 2);
  }
  update();
}

void TIndicator::Gray() {
  for (int y = 0; y < background_.height(); ++y) {
    auto* line = reinterpret_cast<QRgb*>(background_.scanLine(y));
    for (int x = 0; x < background_.width(); ++x) {
      const int g = (qRed(line[x]) + qGreen(line[x]) + qBlue(line[x])) / 3;
      line[x] = qRgb(g, g, g);
    }
  }
  update();
}

int TIndicator::GetAlfa(int value) const {
  if (min_ >= max_) return 0;
  // 64 bits: a wide range times 61 must not overflow.
  const long long span = static_cast<long long>(max_) - min_;
  return static_cast<int>(120 - (static_cast<long long>(value) - min_) * 61 / span);
}

QPoint TIndicator::GetPoint(int angle, int radius) {
  const double a = angle * std::numbers::pi / 180.0;
  return {kPivot.x() + static_cast<int>(std::trunc(std::cos(a) * radius)),
          kPivot.y() - static_cast<int>(std::trunc(std::sin(a) * radius))};
}

QColor TIndicator::LampColor() const {
  if (position_ == 0) return WinColorToQColor(0x808080);
  return WinColorToQColor(position_ < marker_ ? 0x00FF00 : 0x0000FF);
}

QImage TIndicator::Compose() const {
  if (background_.isNull()) return {};
  QImage buffer = background_.copy();
  if (buffer.isNull()) return {};
  QPainter p(&buffer);
  DrawNeedles(p);
  return buffer;
}

void TIndicator::DrawNeedles(QPainter& p) const {
  p.setRenderHint(QPainter::Antialiasing);
  const QPen line(pen_, 2, Qt::SolidLine, Qt::RoundCap);
  if (marker_ != 0) {
    const int a = GetAlfa(marker_);
    p.setPen(line);
    p.drawLine(GetPoint(a, 96), GetPoint(a, 89));
  }
  if (!caption_.isEmpty()) {
    p.setFont(font_);
    p.setPen(pen_);
    const QFontMetrics fm(font_);
    const int w = fm.horizontalAdvance(caption_);
    p.drawText(QPoint(50 - w / 2, 32 + fm.ascent()), caption_);
  }
  const int a = GetAlfa(position_);
  p.setPen(line);
  p.drawLine(GetPoint(a, 84), GetPoint(a, 51));
  p.setRenderHint(QPainter::Antialiasing, false);
  p.fillRect(QRect(QPoint(46, 61), QPoint(53, 63)), LampColor());
}

void TIndicator::paintEvent(QPaintEvent*) {
  if (background_.isNull()) return;
  // The face is a picture; the needles and the caption are drawn at the
  // screen's density, sharp on a scaled desktop.
  QPainter p(this);
  p.setRenderHint(QPainter::SmoothPixmapTransform);
  p.drawImage(0, 0, background_);
  DrawNeedles(p);
}

}  // namespace vertamo::ui
