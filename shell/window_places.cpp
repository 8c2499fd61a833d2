#include "shell/window_places.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

#include "settings/fast_ini.h"
#include "uikit/qt_text.h"
#include "uikit/widget_bounds.h"

namespace vertamo::ui {

void PlaceFirstStart(QWidget* main, QWidget* journal, const TFastIni* ini) {
  if (!main || !journal) return;
  for (const QWidget* window : {main, journal})
    if (ini && ini->ValueExists(ToCp1251(window->objectName()), "Left")) return;
  TWidgetBounds mainBounds(main), journalBounds(journal);
  const QRect place(mainBounds.left(), mainBounds.top(), mainBounds.width(), mainBounds.height());
  const QScreen* screen = QGuiApplication::screenAt(place.center());
  if (!screen) screen = QGuiApplication::primaryScreen();
  if (!screen) return;
  const QRect free = screen->availableGeometry();
  if (free.height() < place.height() + kSharedJournalHeight || free.width() < place.width()) return;
  mainBounds.setLeft(free.left());
  mainBounds.setTop(free.top());
  mainBounds.setWidth(free.width());
  mainBounds.setHeight(free.height() - kSharedJournalHeight);
  journalBounds.setLeft(free.left());
  journalBounds.setTop(free.top() + free.height() - kSharedJournalHeight);
  journalBounds.setWidth(free.width());
  journalBounds.setHeight(kSharedJournalHeight);
}

namespace {

QRect OuterBounds(QWidget* window) {
  const TWidgetBounds bounds(window, TWidgetBounds::kAsGiven);
  return {bounds.left(), bounds.top(), bounds.width(), bounds.height()};
}

qint64 Area(const QRect& r) { return r.isEmpty() ? 0 : qint64(r.width()) * r.height(); }

}  // namespace

bool KeepJournalInSight(QWidget* main, QWidget* journal) {
  if (!main || !journal) return false;
  const QRect mainPlace = OuterBounds(main);
  const QRect place = OuterBounds(journal);
  if (2 * Area(place & mainPlace) <= Area(place)) return false;
  const QScreen* screen = QGuiApplication::screenAt(mainPlace.center());
  if (!screen) screen = QGuiApplication::primaryScreen();
  if (!screen) return false;
  const QRect free = screen->availableGeometry();
  QRect moved = place;
  if (mainPlace.bottom() + place.height() <= free.bottom())
    moved.moveTop(mainPlace.bottom() + 1);
  else if (mainPlace.top() - place.height() >= free.top())
    moved.moveBottom(mainPlace.top() - 1);
  else
    moved.moveBottom(free.bottom());
  if (moved == place) return false;
  TWidgetBounds bounds(journal);
  bounds.setLeft(moved.left());
  bounds.setTop(moved.top());
  return true;
}

}  // namespace vertamo::ui
