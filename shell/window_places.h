// Where the main window and the journal open (the rules are
// settings/window_places.h; this applies them to the windows on the screens
// Qt knows).
#pragma once

class QWidget;

namespace vertamo {
class TFastIni;
}

namespace vertamo::ui {

// At start, once both windows have their saved places (each already whole on
// its screen): when `ini` keeps a place for neither (a first start), the
// first-start layout of the screen the main window opens on; otherwise the
// saved places, with the journal moved off the main window where the two
// overlap and the screen has room for both.
void ArrangeDeskWindows(QWidget* main, QWidget* journal, const TFastIni* ini);

// "Расположение окон по умолчанию": the first-start layout of the screen the
// main window is on.
void DefaultDeskWindows(QWidget* main, QWidget* journal);

}  // namespace vertamo::ui
