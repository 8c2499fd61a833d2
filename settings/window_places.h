// Where the workstation's windows open: the rules that keep every window
// whole on the screen it opens on and keep the main window and the journal
// from covering each other. Plain rectangles in desktop pixels (outer bounds,
// frame included), so that the rules hold the same for every toolkit and run
// in tests without a display.
#pragma once

#include <cstddef>
#include <vector>

namespace vertamo {

struct TPlace {
  int left = 0;
  int top = 0;
  int width = 0;
  int height = 0;

  int right() const { return left + width; }    // one past the last column
  int bottom() const { return top + height; }  // one past the last row
  bool empty() const { return width <= 0 || height <= 0; }
  bool operator==(const TPlace&) const = default;
};

// The common part of two places (empty when they do not meet).
TPlace Common(const TPlace& a, const TPlace& b);
long long Area(const TPlace& place);

// Which of `screens` (their free areas) a place opens on: the one under its
// centre, else the one it overlaps most, else `fallback`.
size_t ScreenOf(const TPlace& place, const std::vector<TPlace>& screens, size_t fallback = 0);

// `place` made whole on `free`: no larger than it, and moved in.
TPlace FitInto(const TPlace& place, const TPlace& free);

// The main window and the journal.
struct TDeskPlaces {
  TPlace main;
  TPlace journal;
  bool operator==(const TDeskPlaces&) const = default;
};

// The lowest main window worth keeping beside the journal.
inline constexpr int kMinSharedMainHeight = 300;

// The journal's outer height beside the main window on a screen whose free
// area is `freeHeight` high: a quarter of it, at least 140 and at most 200.
int SharedJournalHeight(int freeHeight);

// A screen has room for both when the journal's strip leaves the main window
// at least kMinSharedMainHeight.
bool RoomForBoth(const TPlace& free);

// The first-start layout of `free`: with room for both, the main window over
// the whole width and the journal in a strip below it; else the `design`
// places, each made whole on the screen.
TDeskPlaces DefaultDeskPlaces(const TPlace& free, const TDeskPlaces& design);

// Places read back (saved under another screen, or a window grown since),
// each already whole on `free`: when the two overlap and the screen has room
// for both, the journal keeps its size and goes below the main window, else
// above it; when neither side has room, the main window gives up the bottom
// of its height to the journal. Otherwise the places stay as they are.
TDeskPlaces SeparateDeskPlaces(const TDeskPlaces& places, const TPlace& free);

}  // namespace vertamo
