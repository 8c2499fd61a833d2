// The menu bar from the keyboard: F10 opens it, as on every desktop, and
// Alt with a Latin letter opens a menu whose own accelerator is Cyrillic
// (Alt+F for "Файл"), so the menus open whichever keyboard layout is on.
#pragma once

#include <QKeySequence>
#include <utility>
#include <vector>

class QMenu;
class QMenuBar;
class QShortcut;
class QWidget;

namespace vertamo::ui {

// The shortcuts live on `window`; each opens its menu of `bar`.
std::vector<QShortcut*> AddMenuKeys(QWidget* window, QMenuBar* bar,
                                    const std::vector<std::pair<QMenu*, Qt::Key>>& latinLetters);

}  // namespace vertamo::ui
