#include "shell/menu_keys.h"

#include <QMenu>
#include <QMenuBar>
#include <QShortcut>

namespace vertamo::ui {
namespace {

QShortcut* OpenOn(QWidget* window, QMenuBar* bar, const QKeySequence& keys, QMenu* menu) {
  auto* shortcut = new QShortcut(keys, window);
  shortcut->setContext(Qt::WindowShortcut);
  QObject::connect(shortcut, &QShortcut::activated, bar, [bar, menu] {
    if (menu && menu->menuAction()->isVisible()) bar->setActiveAction(menu->menuAction());
  });
  return shortcut;
}

}  // namespace

std::vector<QShortcut*> AddMenuKeys(QWidget* window, QMenuBar* bar,
                                    const std::vector<std::pair<QMenu*, Qt::Key>>& latinLetters) {
  std::vector<QShortcut*> keys;
  if (!latinLetters.empty()) keys.push_back(OpenOn(window, bar, QKeySequence(Qt::Key_F10), latinLetters.front().first));
  for (const auto& [menu, letter] : latinLetters) keys.push_back(OpenOn(window, bar, QKeySequence(Qt::ALT | letter), menu));
  return keys;
}

}  // namespace vertamo::ui
