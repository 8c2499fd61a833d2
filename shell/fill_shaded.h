// The shaded cell background shared by the tables and the counters.
#pragma once

#include <QColor>
#include <QPainter>
#include <QRect>

namespace vertamo::ui {

// Fills rect line by line from its top: pixel line k (from 0) spans the whole
// width in the colour whose red, green and blue parts are each the given part
// minus 3 * k, held at 0. Alpha of the colour is ignored (lines are opaque).
void FillShaded(QPainter& painter, const QRect& rect, const QColor& color);

// The colour of pixel line k of a shade that starts with color.
QColor ShadeLineColor(const QColor& color, int k);

}  // namespace vertamo::ui
