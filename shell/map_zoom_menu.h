// The "Вид" menu of the main window: the zoom of the map on the active tab
// (fit to the window, 100 %, larger, smaller), and the zoom each map was last
// given, kept in the main settings (section "MapZoom", the map's name as the
// key, the zoom in percent, 0 for fit) and given back when the map is built
// again, after a reconnect or a restart. A map without a zoom of its own
// shows whole: fitted when it is larger than its tab at 100 %.
#pragma once

#include <QObject>
#include <string>

class QAction;
class QMenu;
class QMenuBar;
class QTabWidget;

namespace vertamo {
class TAppSettings;
}

namespace vertamo::ui {

class TMapView;

class TMapZoomMenu : public QObject {
  Q_OBJECT

 public:
  static constexpr const char* kSection = "MapZoom";

  // The menu goes into `menuBar`; the commands act on the active tab of
  // `pageControl`. `settings` outlives the menu.
  TMapZoomMenu(QMenuBar* menuBar, QTabWidget* pageControl, TAppSettings& settings);

  // A map's new view: the zoom it had last, and every later choice kept.
  // `name` is the map's name (code page 1251), `index` its number.
  void Attach(TMapView* view, const std::string& name, int index);

  // The settings key of a map.
  static std::string Key(const std::string& name, int index);

  QMenu* mView = nullptr;
  QAction* mZoomFit = nullptr;
  QAction* mZoom100 = nullptr;
  QAction* mZoomIn = nullptr;
  QAction* mZoomOut = nullptr;

 private:
  TMapView* Current() const;
  void Remember(const TMapView& view, const std::string& key);

  QTabWidget* pageControl_;
  TAppSettings& settings_;
};

}  // namespace vertamo::ui
