// Where the main window and the journal open on a first start.
#pragma once

class QWidget;

namespace vertamo {
class TFastIni;
}

namespace vertamo::ui {

// The journal's outer height when it shares the screen with the main window.
inline constexpr int kSharedJournalHeight = 200;

// When `ini` keeps a place for neither window (a first start) and the screen
// the main window opens on has room for both at their present heights, the
// main window takes the screen's free width above the journal and the journal
// the strip below it, so that neither covers the other.
void PlaceFirstStart(QWidget* main, QWidget* journal, const TFastIni* ini);

// A journal whose frame lies more than half behind the main window's frame
// (a place saved under another screen layout, a main window grown since) is
// moved just below the main window, else just above it, when the screen has
// room there, else to the bottom of the screen. True when it was moved.
bool KeepJournalInSight(QWidget* main, QWidget* journal);

}  // namespace vertamo::ui
