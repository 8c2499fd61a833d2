#include "shell/fill_shaded.h"

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

}  // namespace vertamo::ui
