#include "voice/ui/level_meters.h"

#include <QPainter>
#include <algorithm>
#include <cmath>
#include <numbers>

namespace vertamo::ui {

TAudioIndicator::TAudioIndicator(QWidget* parent) : QWidget(parent) {
  setAttribute(Qt::WA_OpaquePaintEvent);
}

void TAudioIndicator::SetLevel(int level) {
  if (level == level_) return;
  level_ = level;
  update();
}

void TAudioIndicator::SetThreshold(int threshold) {
  if (threshold == threshold_) return;
  threshold_ = threshold;
  update();
}

void TAudioIndicator::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.fillRect(rect(), palette().color(QPalette::Button));
  const int w = width() / kSegments;
  const int lit = LitSegments(level_);
  for (int i = 0; i < kSegments; ++i) {
    QColor color(0xC0, 0xC0, 0xC0);
    if (i < lit) color = i > 15 ? QColor(0xFF, 0, 0) : i > 13 ? QColor(0xFF, 0xFF, 0) : QColor(0, 0x80, 0);
    // From x = i·w to i·w + w − 2, both included, over the full height.
    painter.fillRect(i * w, 0, w - 1, height(), color);
  }
  const int x = threshold_ * width() / 120;
  painter.setPen(QColor(0x80, 0, 0));
  painter.drawLine(x, 0, x, height() - 1);
}

TGauge::TGauge(QWidget* parent, int max) : QWidget(parent), max_(max) {}

void TGauge::SetKind(TKind kind) {
  kind_ = kind;
  update();
}

void TGauge::SetProgress(int value) {
  value = std::clamp(value, 0, max_);
  if (value == progress_) return;
  progress_ = value;
  update();
}

void TGauge::SetForeColor(const QColor& color) {
  if (color == color_) return;
  color_ = color;
  update();
}

void TGauge::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  if (kind_ == TKind::Needle)
    PaintNeedle(painter);
  else
    PaintBar(painter);
}

void TGauge::PaintBar(QPainter& painter) {
  const QRect inner = rect().adjusted(1, 1, -1, -1);
  painter.fillRect(rect(), Qt::black);
  painter.fillRect(inner, Qt::white);
  if (max_ > 0 && progress_ > 0) {
    QRect part = inner;
    if (kind_ == TKind::Horizontal)
      part.setWidth(inner.width() * progress_ / max_);
    else
      part.setTop(inner.bottom() + 1 - inner.height() * progress_ / max_);
    painter.fillRect(part, color_);
  }
  painter.setPen(Qt::black);
  painter.drawText(inner, Qt::AlignCenter, QStringLiteral("%1%").arg(max_ > 0 ? progress_ * 100 / max_ : 0));
}

void TGauge::PaintNeedle(QPainter& painter) {
  painter.setRenderHint(QPainter::Antialiasing);
  painter.fillRect(rect(), palette().color(QPalette::Button));
  // The half circle stands on the bottom edge, as wide as fits.
  const int radius = std::min(width() / 2, height()) - 2;
  const QPointF centre(width() / 2.0, height() - 2.0);
  const QRectF circle(centre.x() - radius, centre.y() - radius, 2.0 * radius, 2.0 * radius);
  painter.setPen(QPen(Qt::black, 1));
  painter.setBrush(Qt::white);
  painter.drawPie(circle, 0, 180 * 16);
  // The reached part of the scale in the gauge's colour.
  const double fraction = max_ > 0 ? double(progress_) / max_ : 0.0;
  painter.setBrush(color_);
  painter.setPen(Qt::NoPen);
  const QRectF band = circle.adjusted(radius * 0.25, radius * 0.25, -radius * 0.25, -radius * 0.25);
  painter.drawPie(circle, 180 * 16, -static_cast<int>(180 * 16 * fraction));
  painter.setBrush(Qt::white);
  painter.drawPie(band, 0, 180 * 16);
  painter.setPen(QPen(Qt::black, 1));
  painter.setBrush(Qt::NoBrush);
  painter.drawArc(circle, 0, 180 * 16);
  // Ticks every tenth of the scale.
  for (int i = 0; i <= 10; ++i) {
    const double a = std::numbers::pi * (1.0 - i / 10.0);
    const double inner = radius * (i % 5 == 0 ? 0.62 : 0.68);
    painter.drawLine(QPointF(centre.x() + inner * std::cos(a), centre.y() - inner * std::sin(a)),
                     QPointF(centre.x() + 0.75 * radius * std::cos(a), centre.y() - 0.75 * radius * std::sin(a)));
  }
  painter.drawLine(QPointF(circle.left(), centre.y()), QPointF(circle.right(), centre.y()));
  const double angle = std::numbers::pi * (1.0 - fraction);
  const QPointF tip(centre.x() + (radius - 2) * std::cos(angle), centre.y() - (radius - 2) * std::sin(angle));
  painter.setPen(QPen(Qt::black, 2));
  painter.drawLine(centre, tip);
}

}  // namespace vertamo::ui
