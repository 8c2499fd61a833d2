// Our own pictures of the cabin / machine-room selector, drawn in code.
#pragma once

#include <QPixmap>

namespace vertamo::ui {

// A lift car with closed doors hanging on its rope.
QPixmap CabinPicture(int size);
// The hoist machine: motor, traction sheave and the ropes going down.
QPixmap MachineRoomPicture(int size);

}  // namespace vertamo::ui
