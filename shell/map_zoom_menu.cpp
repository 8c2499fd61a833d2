#include "shell/map_zoom_menu.h"

#include <QAction>
#include <QMenu>
#include <QMenuBar>
#include <QTabWidget>
#include <cmath>

#include "map/ui/map_view.h"
#include "settings/app_settings.h"
#include "settings/fast_ini.h"

namespace vertamo::ui {

TMapZoomMenu::TMapZoomMenu(QMenuBar* menuBar, QTabWidget* pageControl, TAppSettings& settings)
    : QObject(menuBar), pageControl_(pageControl), settings_(settings) {
  mView = menuBar->addMenu(QStringLiteral("&Вид"));
  mView->setObjectName(QStringLiteral("mView"));
  auto add = [this](const char* name, const QString& caption, QList<QKeySequence> keys, auto command) {
    QAction* action = mView->addAction(caption);
    action->setObjectName(QString::fromLatin1(name));
    action->setShortcuts(keys);
    connect(action, &QAction::triggered, this, [this, command] {
      if (TMapZoom* zoom = Current()) command(*zoom);
    });
    return action;
  };
  mZoomFit = add("mZoomFit", QStringLiteral("По размеру окна"), {QKeySequence(Qt::CTRL | Qt::Key_0)},
                 [](TMapZoom& zoom) { zoom.FitToWindow(); });
  mZoom100 = add("mZoom100", QStringLiteral("100 %"), {QKeySequence(Qt::CTRL | Qt::Key_1)},
                 [](TMapZoom& zoom) { zoom.SetZoom(1.0); });
  mZoomIn = add("mZoomIn", QStringLiteral("Увеличить"),
                {QKeySequence(Qt::CTRL | Qt::Key_Plus), QKeySequence(Qt::CTRL | Qt::Key_Equal)},
                [](TMapZoom& zoom) { zoom.ZoomIn(); });
  mZoomOut = add("mZoomOut", QStringLiteral("Уменьшить"), {QKeySequence(Qt::CTRL | Qt::Key_Minus)},
                 [](TMapZoom& zoom) { zoom.ZoomOut(); });
}

TMapZoom* TMapZoomMenu::Current() const { return ZoomOf(pageControl_->currentWidget()); }

std::string TMapZoomMenu::Key(const std::string& name, int index) {
  // A key ends at its first "=", and a blank name is no key.
  std::string key = name;
  for (char& c : key)
    if (c == '=' || c == '[' || c == ']') c = '_';
  if (key.find_first_not_of(' ') == std::string::npos) key = "Map" + std::to_string(index);
  return key;
}

void TMapZoomMenu::Attach(TMapPage* page, const std::string& name, int index) {
  TMapZoom* zoom = page ? page->Zoom() : nullptr;
  if (!zoom) return;
  const std::string key = Key(name, index);
  const QSignalBlocker quiet(zoom);
  if (const TFastIni* ini = settings_.MainIni.get(); ini && ini->ValueExists(kSection, key)) {
    const int percent = ini->ReadInteger(kSection, key, 100);
    if (percent == 0)
      zoom->FitToWindow();
    else
      zoom->SetZoom(percent / 100.0);
  } else {
    // A map seen for the first time shows whole, and at most as designed.
    zoom->FitIfLarger();
  }
  connect(zoom, &TMapZoom::Zoomed, this, [this, zoom, key] { Remember(*zoom, key); });
}

void TMapZoomMenu::Remember(const TMapZoom& zoom, const std::string& key) {
  if (TFastIni* ini = settings_.MainIni.get())
    ini->WriteInteger(kSection, key, zoom.Fitting() ? 0 : static_cast<int>(std::lround(zoom.Zoom() * 100)));
}

}  // namespace vertamo::ui
