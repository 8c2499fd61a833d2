// The widget artwork compiled into the program ("FONC", "BITMAP00".."BITMAP02").
#pragma once

#include <QImage>
#include <QString>

namespace vertamo::ui {

// Registers the artwork resources once (they live in a static library, so
// nothing would pull them into the program otherwise).
void InitArtwork();

// The picture of that resource name; a null image when there is none.
QImage LoadArtwork(const QString& name);

// A transparent picture to draw `width` x `height` of artwork into, with as
// many pixels as the densest screen shows for them, so that it stays sharp on
// a desktop scaled to 150 % or 200 %.
QImage ScreenCanvas(int width, int height);

}  // namespace vertamo::ui
