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
      if (TMapView* view = Current()) command(*view);
    });
    return action;
  };
  mZoomFit = add("mZoomFit", QStringLiteral("По размеру окна"), {QKeySequence(Qt::CTRL | Qt::Key_0)},
                 [](TMapView& view) { view.FitToWindow(); });
  mZoom100 = add("mZoom100", QStringLiteral("100 %"), {QKeySequence(Qt::CTRL | Qt::Key_1)},
                 [](TMapView& view) { view.SetZoom(1.0); });
  mZoomIn = add("mZoomIn", QStringLiteral("Увеличить"),
                {QKeySequence(Qt::CTRL | Qt::Key_Plus), QKeySequence(Qt::CTRL | Qt::Key_Equal)},
                [](TMapView& view) { view.ZoomIn(); });
  mZoomOut = add("mZoomOut", QStringLiteral("Уменьшить"), {QKeySequence(Qt::CTRL | Qt::Key_Minus)},
                 [](TMapView& view) { view.ZoomOut(); });
}

TMapView* TMapZoomMenu::Current() const { return qobject_cast<TMapView*>(pageControl_->currentWidget()); }

std::string TMapZoomMenu::Key(const std::string& name, int index) {
  // A key ends at its first "=", and a blank name is no key.
  std::string key = name;
  for (char& c : key)
    if (c == '=' || c == '[' || c == ']') c = '_';
  if (key.find_first_not_of(' ') == std::string::npos) key = "Map" + std::to_string(index);
  return key;
}

void TMapZoomMenu::Attach(TMapView* view, const std::string& name, int index) {
  if (!view) return;
  const std::string key = Key(name, index);
  const QSignalBlocker quiet(view);
  if (const TFastIni* ini = settings_.MainIni.get(); ini && ini->ValueExists(kSection, key)) {
    const int percent = ini->ReadInteger(kSection, key, 100);
    if (percent == 0)
      view->FitToWindow();
    else
      view->SetZoom(percent / 100.0);
  } else {
    // A map seen for the first time shows whole, enlarged by half at most.
    view->ZoomByDefault();
  }
  connect(view, &TMapView::Zoomed, this, [this, view, key] { Remember(*view, key); });
}

void TMapZoomMenu::Remember(const TMapView& view, const std::string& key) {
  if (TFastIni* ini = settings_.MainIni.get())
    ini->WriteInteger(kSection, key, view.Fitting() ? 0 : static_cast<int>(std::lround(view.Zoom() * 100)));
}

}  // namespace vertamo::ui
