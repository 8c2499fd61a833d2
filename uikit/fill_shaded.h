// The shaded cell background shared by the tables and the counters.
#pragma once

#include <QColor>
#include <QPainter>
#include <QRect>
#include <QString>

namespace vertamo::ui {

// Fills rect line by line from its top: pixel line k (from 0) spans the whole
// width in the colour whose red, green and blue parts are each the given part
// minus 3 * k, held at 0. Alpha of the colour is ignored (lines are opaque).
void FillShaded(QPainter& painter, const QRect& rect, const QColor& color);

// The colour of pixel line k of a shade that starts with color.
QColor ShadeLineColor(const QColor& color, int k);

// Cell text of the tables, drawn with a clear background in `color` and cut at
// the cell: centred vertically (at least 1 pixel below the top); horizontally
// centred (at least 1 pixel in) or starting 4 pixels in. Empty text draws nothing.
void DrawCellText(QPainter& painter, const QRect& cell, const QString& text, const QColor& color,
                  bool centred);

}  // namespace vertamo::ui
