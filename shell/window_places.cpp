#include "shell/window_places.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>
#include <vector>

#include "settings/fast_ini.h"
#include "settings/window_places.h"
#include "uikit/qt_text.h"
#include "uikit/widget_bounds.h"

namespace vertamo::ui {
namespace {

// The design places: the main window 909 x 596 at 0,0, the journal's client
// area 1053 x 182 at 215,448 with its frame.
const TDeskPlaces kDesign{{0, 0, 909, 596}, {215, 448, 1055, 210}};

TPlace OuterPlace(QWidget* window) {
  const TWidgetBounds bounds(window, TWidgetBounds::kAsGiven);
  return {bounds.left(), bounds.top(), bounds.width(), bounds.height()};
}

void SetOuterPlace(QWidget* window, const TPlace& place) {
  if (OuterPlace(window) == place) return;
  TWidgetBounds bounds(window, TWidgetBounds::kAsGiven);
  bounds.setLeft(place.left);
  bounds.setTop(place.top);
  bounds.setWidth(place.width);
  bounds.setHeight(place.height);
}

// The free area of the screen `place` opens on; false without screens.
bool FreeAreaOf(const TPlace& place, TPlace* free) {
  const QList<QScreen*> screens = QGuiApplication::screens();
  if (screens.isEmpty()) return false;
  std::vector<TPlace> areas;
  size_t primary = 0;
  for (const QScreen* screen : screens) {
    if (screen == QGuiApplication::primaryScreen()) primary = areas.size();
    const QRect r = screen->availableGeometry();
    areas.push_back({r.x(), r.y(), r.width(), r.height()});
  }
  *free = areas[ScreenOf(place, areas, primary)];
  return true;
}

bool PlaceSaved(const QWidget* window, const TFastIni* ini) {
  return ini && ini->ValueExists(ToCp1251(window->objectName()), "Left");
}

}  // namespace

void ArrangeDeskWindows(QWidget* main, QWidget* journal, const TFastIni* ini) {
  if (!main || !journal) return;
  if (!PlaceSaved(main, ini) && !PlaceSaved(journal, ini)) {
    DefaultDeskWindows(main, journal);
    return;
  }
  // Each whole on its screen (a journal that kept its design place too).
  TDeskPlaces saved{OuterPlace(main), OuterPlace(journal)};
  TPlace free, journalFree;
  if (!FreeAreaOf(saved.main, &free) || !FreeAreaOf(saved.journal, &journalFree)) return;
  saved = {FitInto(saved.main, free), FitInto(saved.journal, journalFree)};
  const TDeskPlaces places = SeparateDeskPlaces(saved, free);
  SetOuterPlace(main, places.main);
  SetOuterPlace(journal, places.journal);
}

void DefaultDeskWindows(QWidget* main, QWidget* journal) {
  if (!main || !journal) return;
  if (main->isMaximized() || main->isFullScreen()) main->showNormal();
  TPlace free;
  if (!FreeAreaOf(OuterPlace(main), &free)) return;
  const TDeskPlaces places = DefaultDeskPlaces(free, kDesign);
  SetOuterPlace(main, places.main);
  SetOuterPlace(journal, places.journal);
}

}  // namespace vertamo::ui
