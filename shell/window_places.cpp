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

}  // namespace vertamo::ui
