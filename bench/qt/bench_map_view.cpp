// Figures of the map view on orvex-sim's synthetic catalogue (by default 20
// maps of 1920 x 1080, 5,000 objects, 300 picture sets of 8 pictures, 500
// texts): how long building the tabs takes, how long showing them and
// switching between them takes, and what a change of one object's state costs
// on screen: which widgets repaint and how many pixels of the map are painted
// again; and what zooming and scrolling the visible map costs.
//
//   bench_map_view [CATALOGUE]      as orvex-sim's --synthetic, e.g. objects=10000,maps=5
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QPaintEvent>
#include <QScrollBar>
#include <QTabWidget>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include "map/map_model.h"
#include "map/ui/map_pict.h"
#include "map/ui/map_view.h"
#include "map/ui/map_zoom.h"
#include "platform/cp1251.h"
#include "settings/app_settings.h"
#include "shell/form_vertamo.h"
#include "tools/orvex-sim/synthetic.h"

using namespace vertamo;
using namespace vertamo::ui;

namespace {

// The model as the catalogue download leaves it.
void FillModel(const orvexsim::Scenario& scenario, TMapModel& model) {
  for (const orvexsim::MapDef& def : scenario.maps) {
    MAP* map = model.MapList.Add(Utf8ToCp1251(def.name), def.HasPicture());
    if (map->Picture) map->Picture->Pixels = def.background;
  }
  for (const orvexsim::PictureSetDef& def : scenario.pictureSets) {
    model.PictureSets.FindOrCreateSet(def.name, 1, 1);
    for (const orvexsim::PictureDef& picture : def.pictures)
      model.PictureSets.AddPicture(def.name, TBitmap{picture.image, def.transparent != 0});
  }
  for (const orvexsim::ObjectDef& def : scenario.objects) {
    MAPOBJECT object;
    object.SetMapIndex(def.map);
    object.SetX(def.x);
    object.SetY(def.y);
    object.SetName(Utf8ToCp1251(def.name));
    object.SetType(def.type);
    object.SetImlName(def.iml);
    object.SetIdx(def.idx);
    object.SetHint(Utf8ToCp1251(def.hint));
    object.SetCapVisible(def.capVisible.value_or(0) != 0);
    object.SetCX(def.cx.value_or(0));
    object.SetCY(def.cy.value_or(0));
    object.SetCaption(Utf8ToCp1251(def.caption.value_or("")));
    if (def.capColor && *def.capColor != -1) {
      object.SetCapColor(*def.capColor);
      object.SetCapTransparent(false);
    }
    object.Pictures = model.PictureSets.FindSet(def.iml);
    model.ObjectList.Add(object);
  }
  for (const orvexsim::TextDef& def : scenario.texts) {
    MAPTEXT text;
    text.MapIndex = def.map;
    text.X = def.x;
    text.Y = def.y;
    text.W = def.w;
    text.H = def.h;
    text.Caption = Utf8ToCp1251(def.caption);
    if (def.fontName) text.FontName = Utf8ToCp1251(*def.fontName);
    if (def.fontSize) text.FontSize = *def.fontSize;
    if (def.color) text.Color = *def.color;
    if (def.fontColor) text.FontColor = *def.fontColor;
    if (def.action) text.Action = *def.action;
    if (def.aparam) text.AParam = *def.aparam;
    if (def.transparent) text.SetFlag(kTextTransparent, *def.transparent != 0);
    if (def.autoSize) text.SetFlag(kTextAutoSize, *def.autoSize != 0);
    model.TextList.Add(text);
  }
}

// Counts the paint events and painted pixels of every widget it watches.
class PaintCounter : public QObject {
 public:
  long long events = 0;
  long long pixels = 0;
  void Reset() { events = pixels = 0; }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::Paint) {
      ++events;
      for (const QRect& r : static_cast<QPaintEvent*>(event)->region())
        pixels += static_cast<long long>(r.width()) * r.height();
    }
    return QObject::eventFilter(watched, event);
  }
};

double Ms(const QElapsedTimer& timer) { return static_cast<double>(timer.nsecsElapsed()) / 1e6; }

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") &&
      qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
    qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);

  orvexsim::SyntheticParams catalogue;
  if (argc > 1) {
    std::string error;
    if (!orvexsim::ParseSyntheticParams(argv[1], &catalogue, &error)) {
      std::fprintf(stderr, "bench_map_view: %s\n", error.c_str());
      return 2;
    }
  }
  const orvexsim::Scenario scenario = orvexsim::BuildSyntheticScenario(catalogue);
  TMapModel model;
  FillModel(scenario, model);
  std::printf(
      "catalogue: %d maps of %dx%d, %d objects, %d picture sets of %d pictures, %d texts (platform %s)\n",
      model.MapList.Count(), catalogue.backgroundWidth, catalogue.backgroundHeight, model.ObjectList.Count(),
      model.PictureSets.Count(), catalogue.pictures, model.TextList.Count(),
      qPrintable(QGuiApplication::platformName()));

  QTabWidget pageControl;
  pageControl.setTabPosition(QTabWidget::South);
  pageControl.resize(1280, 800);
  TPictureCache cache;

  // Building every tab, as BuildMaps does (the page control is hidden meanwhile).
  QElapsedTimer timer;
  timer.start();
  std::vector<std::vector<MAPOBJECT*>> onMap(static_cast<size_t>(model.MapList.Count()));
  for (int i = 0; i < model.ObjectList.Count(); ++i) {
    MAPOBJECT* object = model.ObjectList.Get(i);
    if (object->MapIndex >= 0 && object->MapIndex < model.MapList.Count())
      onMap[static_cast<size_t>(object->MapIndex)].push_back(object);
  }
  std::vector<TMapPage*> pages;
  for (int m = 0; m < model.MapList.Count(); ++m)
    pages.push_back(CreateMapPage(*model.MapList.Get(m), &pageControl));
  const double pagesMs = Ms(timer);
  for (int m = 0; m < model.MapList.Count(); ++m) {
    TMapPage* page = pages[static_cast<size_t>(m)];
    for (MAPOBJECT* object : onMap[static_cast<size_t>(m)]) CreateMapPict(*object, page, &cache)->Show(page);
  }
  const double objectsMs = Ms(timer) - pagesMs;
  CreateTextLabels(model.TextList, &pageControl, {});
  const double buildMs = Ms(timer);

  // Showing the first tab and painting it.
  timer.restart();
  pageControl.show();
  app.processEvents();
  pageControl.repaint();
  const double showMs = Ms(timer);

  // Switching through every tab once (each paints for the first time).
  timer.restart();
  for (int m = 1; m < pageControl.count(); ++m) {
    pageControl.setCurrentIndex(m);
    pageControl.repaint();
  }
  pageControl.setCurrentIndex(0);
  pageControl.repaint();
  const double switchMs = Ms(timer) / std::max(1, pageControl.count());

  // One object of the visible map changes its state: only its own rectangle
  // is painted again.
  PaintCounter picts, backgrounds;
  std::vector<MAPOBJECT*>& visible = onMap[0];
  for (MAPOBJECT* object : visible) static_cast<TMapPict*>(object->Widget)->installEventFilter(&picts);
  PageOf(*model.MapList.Get(0))->installEventFilter(&backgrounds);
  if (TMapImage* image = PageOf(*model.MapList.Get(0))->Image()) image->installEventFilter(&backgrounds);
  app.processEvents();
  picts.Reset();
  backgrounds.Reset();
  const int updates = 1000;
  timer.restart();
  for (int u = 0; u < updates && !visible.empty(); ++u) {
    MAPOBJECT* object = visible[static_cast<size_t>(u * 7919) % visible.size()];
    object->Changed = false;
    object->SetIdx((object->Idx + 1) % std::max(1, object->Pictures ? object->Pictures->Count() : 1));
    if (object->Changed) static_cast<TMapPict*>(object->Widget)->update();
    app.processEvents();
  }
  const double updateUs = Ms(timer) * 1000.0 / updates;
  const long long pictPaints = picts.events, backgroundPixels = backgrounds.pixels;

  // For comparison: the whole visible map painted again.
  picts.Reset();
  backgrounds.Reset();
  timer.restart();
  for (int u = 0; u < 20; ++u) {
    pageControl.currentWidget()->update();
    app.processEvents();
  }
  const double fullMs = Ms(timer) / 20;
  const long long fullPixels = backgrounds.pixels / 20;

  // The visible map zoomed (every picture, caption and text laid out again in
  // its scaled font, the map painted again), and scrolled one page at 200 %.
  TMapZoom* zoom = PageOf(*model.MapList.Get(0))->Zoom();
  const int zooms = 20;
  const long long placedBefore = zoom->Placements();
  timer.restart();
  for (int z = 0; z < zooms; ++z) {
    zoom->SetZoom(z % 2 ? 2.0 : 0.5);
    pageControl.repaint();
  }
  const double zoomMs = Ms(timer) / zooms;
  const double placedPerZoom = static_cast<double>(zoom->Placements() - placedBefore) / zooms;
  zoom->SetZoom(2.0);
  app.processEvents();
  timer.restart();
  for (int z = 0; z < zooms; ++z) {
    zoom->VerticalBar()->setValue(z % 2 ? 0 : zoom->VerticalBar()->pageStep());
    pageControl.repaint();
  }
  const double scrollMs = Ms(timer) / zooms;
  timer.restart();
  zoom->FitToWindow();
  pageControl.repaint();
  const double fitMs = Ms(timer);
  zoom->SetZoom(1.0);
  app.processEvents();

  // As ClearMaps frees them: the page control is hidden first, and neither
  // paints nor reports tab changes while its pages go.
  timer.restart();
  pageControl.hide();
  pageControl.setUpdatesEnabled(false);
  {
    const QSignalBlocker blocker(pageControl);
    model.Clear();
  }
  pageControl.setUpdatesEnabled(true);
  cache.Clear();
  const double clearMs = Ms(timer);

  // The same through the main window: BuildMaps on its hidden page control
  // and ClearMaps, as a download and a reconnect do them.
  double formBuildMs = 0, formClearMs = 0, formLongestSliceMs = 0, formCloseMs = 0;
  {
    QTemporaryDir dir;
    TAppSettings settings(QDir::currentPath().toStdString() + "/", "vertamo");
    settings.ChooseWorkFolder("Vertamo", dir.path().toStdString());
    TFormOptions options;
    options.startClient = false;
    TFormVertamo form(settings, options);
    form.resize(1280, 800);
    form.show();
    app.processEvents();
    FillModel(scenario, form.Model());
    // A large catalogue goes on building in slices: the longest time the
    // event loop waits for its turn is how long a close or F5 may wait.
    timer.restart();
    form.BuildMaps();
    QElapsedTimer turn;
    turn.start();
    while (form.Building()) {
      app.processEvents();
      formLongestSliceMs = std::max(formLongestSliceMs, Ms(turn));
      turn.restart();
    }
    formBuildMs = Ms(timer);
    app.processEvents();
    timer.restart();
    form.ClearMaps();
    formClearMs = Ms(timer);

    // Closed half-way through a build.
    FillModel(scenario, form.Model());
    timer.restart();
    form.BuildMaps();
    const int half = form.Model().ObjectList.Count() / 2;
    while (form.Building() && !form.Model().ObjectList.Get(half)->Widget) app.processEvents();
    timer.restart();
    form.close();
    formCloseMs = Ms(timer);
  }

  std::printf("build tabs, pictures, captions and labels: %8.1f ms\n", buildMs);
  std::printf("  of which pages %.1f, pictures %.1f, texts %.1f ms\n", pagesMs, objectsMs,
              buildMs - pagesMs - objectsMs);
  std::printf("  the main window's BuildMaps:             %8.1f ms\n", formBuildMs);
  std::printf("    longest wait of the event loop:       %8.1f ms\n", formLongestSliceMs);
  std::printf("  the main window's ClearMaps:             %8.1f ms\n", formClearMs);
  std::printf("  closing the window half-way through it:  %8.1f ms\n", formCloseMs);
  std::printf("show and paint the first tab:              %8.1f ms\n", showMs);
  std::printf("switch to a tab and paint it (mean):       %8.1f ms\n", switchMs);
  std::printf("pictures converted to pixmaps:             %8lld (once each)\n", cache.Conversions());
  std::printf("one object's state changed, repainted:     %8.1f us per update (%d updates)\n", updateUs,
              updates);
  std::printf("  picture widgets painted per update:      %8.2f\n",
              static_cast<double>(pictPaints) / updates);
  std::printf("  map pixels painted again per update:     %8.0f (the whole tab: %lld)\n",
              static_cast<double>(backgroundPixels) / updates, fullPixels);
  std::printf("whole visible tab repainted (mean):        %8.2f ms\n", fullMs);
  std::printf("zoom the visible tab 50 %% <-> 200 %% (mean):%7.1f ms (%.0f widgets laid out)\n", zoomMs,
              placedPerZoom);
  std::printf("scroll it one page at 200 %% (mean):        %8.1f ms\n", scrollMs);
  std::printf("fit it to the window:                      %8.1f ms\n", fitMs);
  std::printf("free every tab with the model:             %8.1f ms\n", clearMs);
  return 0;
}
