#include "uikit/fill_shaded.h"

#include <QFontMetrics>
#include <algorithm>

namespace vertamo::ui {

QColor ShadeLineColor(const QColor& color, int k) {
  const QColor c = color.toRgb();
  const int step = 3 * std::clamp(k, 0, 255);  // beyond 85 lines everything is black anyway
  return QColor(std::max(c.red() - step, 0), std::max(c.green() - step, 0), std::max(c.blue() - step, 0));
}

void FillShaded(QPainter& painter, const QRect& rect, const QColor& color) {
  if (rect.width() <= 0 || rect.height() <= 0) return;
  for (int k = 0; k < rect.height(); ++k)
    painter.fillRect(QRect(rect.left(), rect.top() + k, rect.width(), 1), ShadeLineColor(color, k));
}

void DrawCellText(QPainter& painter, const QRect& cell, const QString& text, const QColor& color,
                  bool centred) {
  if (text.isEmpty()) return;
  painter.save();
  painter.setClipRect(cell);
  painter.setPen(color);
  const QFontMetrics fm = painter.fontMetrics();
  const int y = std::max(cell.top() + (cell.height() - fm.height()) / 2, cell.top() + 1);
  int x = cell.left() + 4;
  if (centred) x = std::max(cell.left() + (cell.width() - fm.horizontalAdvance(text)) / 2, cell.left() + 1);
  painter.drawText(QPoint(x, y + fm.ascent()), text);
  painter.restore();
}

}  // namespace vertamo::ui
