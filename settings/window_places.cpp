#include "settings/window_places.h"

#include <algorithm>

namespace vertamo {

TPlace Common(const TPlace& a, const TPlace& b) {
  const int left = std::max(a.left, b.left), top = std::max(a.top, b.top);
  const int right = std::min(a.right(), b.right()), bottom = std::min(a.bottom(), b.bottom());
  if (right <= left || bottom <= top) return {};
  return {left, top, right - left, bottom - top};
}

long long Area(const TPlace& place) {
  return place.empty() ? 0 : static_cast<long long>(place.width) * place.height;
}

size_t ScreenOf(const TPlace& place, const std::vector<TPlace>& screens, size_t fallback) {
  const int cx = place.left + place.width / 2, cy = place.top + place.height / 2;
  for (size_t i = 0; i < screens.size(); ++i) {
    const TPlace& s = screens[i];
    if (cx >= s.left && cx < s.right() && cy >= s.top && cy < s.bottom()) return i;
  }
  long long best = 0;
  size_t chosen = fallback;
  for (size_t i = 0; i < screens.size(); ++i)
    if (const long long a = Area(Common(place, screens[i])); a > best) best = a, chosen = i;
  return chosen;
}

TPlace FitInto(const TPlace& place, const TPlace& free) {
  TPlace r = place;
  r.width = std::min(r.width, free.width);
  r.height = std::min(r.height, free.height);
  r.left = std::clamp(r.left, free.left, free.right() - r.width);
  r.top = std::clamp(r.top, free.top, free.bottom() - r.height);
  return r;
}

int SharedJournalHeight(int freeHeight) { return std::clamp(freeHeight / 4, 140, 200); }

bool RoomForBoth(const TPlace& free) {
  return free.height >= kMinSharedMainHeight + SharedJournalHeight(free.height);
}

TDeskPlaces DefaultDeskPlaces(const TPlace& free, const TDeskPlaces& design) {
  if (!RoomForBoth(free)) return SeparateDeskPlaces({FitInto(design.main, free), FitInto(design.journal, free)}, free);
  const int journal = SharedJournalHeight(free.height);
  return {{free.left, free.top, free.width, free.height - journal},
          {free.left, free.bottom() - journal, free.width, journal}};
}

TDeskPlaces SeparateDeskPlaces(const TDeskPlaces& places, const TPlace& free) {
  const TPlace& main = places.main;
  TPlace journal = places.journal;
  if (Common(main, journal).empty() || !RoomForBoth(free)) return places;
  // The journal keeps its height as long as the main window keeps a working one.
  journal.height = std::min(journal.height, free.height - kMinSharedMainHeight);
  if (main.bottom() + journal.height <= free.bottom()) {
    journal.top = main.bottom();
    return {main, journal};
  }
  if (main.top - journal.height >= free.top) {
    journal.top = main.top - journal.height;
    return {main, journal};
  }
  // Neither side has room: the journal takes the screen's bottom strip and the
  // main window ends above it.
  journal.top = free.bottom() - journal.height;
  TPlace shortened = main;
  shortened.top = std::min(main.top, journal.top - kMinSharedMainHeight);
  shortened.height = journal.top - shortened.top;
  return {shortened, journal};
}

}  // namespace vertamo
