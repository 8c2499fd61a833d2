// Figures of the maps on screen, through the main window, on orvex-sim's
// synthetic catalogue (by default 20 maps of 1920 x 1080, 5,000 objects, 300
// picture sets of 8 pictures, 500 texts): building the tabs, switching to a
// tab and painting it, one object's change of state repainted, zooming,
// scrolling and fitting the visible map, clearing the maps, and the peak
// memory against the decoded pixels of the catalogue.
//
//   bench_map_view [CATALOGUE]      as orvex-sim's --synthetic, e.g. objects=100000,maps=50
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QPaintEvent>
#include <QScrollBar>
#include <QTabWidget>
#include <QTemporaryDir>
#include <sys/resource.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "map/map_model.h"
#include "map/ui/map_board.h"
#include "map/ui/map_items.h"
#include "map/ui/map_view.h"
#include "platform/cp1251.h"
#include "settings/app_settings.h"
#include "shell/form_vertamo.h"
#include "tools/orvex-sim/synthetic.h"
#include "window_bench.h"

using namespace vertamo;
using namespace vertamo::ui;

namespace {

// The model as the catalogue download leaves it. The backgrounds move from
// the scenario into the model, so that they are held once, as in the program.
void FillModel(orvexsim::Scenario& scenario, TMapModel& model) {
  for (orvexsim::MapDef& def : scenario.maps) {
    MAP* map = model.MapList.Add(Utf8ToCp1251(def.name), def.HasPicture());
    if (map->Picture) map->Picture->Pixels = std::move(def.background);
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

// The decoded pixels of the catalogue, in bytes.
double DecodedBytes(const TMapModel& model) {
  double bytes = 0;
  for (int m = 0; m < model.MapList.Count(); ++m)
    if (const TBitmap* picture = model.MapList.Get(m)->Picture.get())
      bytes += 4.0 * picture->Pixels.width * picture->Pixels.height;
  for (int s = 0; s < model.PictureSets.Count(); ++s) {
    const TPictureSet* set = model.PictureSets.Get(s);
    bytes += 4.0 * set->Width() * set->Height() * set->Count();
  }
  return bytes;
}

double CurrentMiB() {
  long pages = 0, resident = 0;
  if (FILE* f = std::fopen("/proc/self/statm", "r")) {
    if (std::fscanf(f, "%ld %ld", &pages, &resident) != 2) resident = 0;
    std::fclose(f);
  }
  return resident * 4096.0 / (1024.0 * 1024.0);
}

double PeakMiB() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss / 1024.0;
}

// Counts the paint events and painted pixels of the widget it watches.
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

// Runs the event loop until nothing is left; the longest single turn.
double Settle(QApplication& app) {
  double longest = 0;
  for (int i = 0; i < 3; ++i) {
    QElapsedTimer turn;
    turn.start();
    app.processEvents();
    longest = std::max(longest, turn.nsecsElapsed() / 1e6);
  }
  return longest;
}

double Ms(const QElapsedTimer& timer) { return static_cast<double>(timer.nsecsElapsed()) / 1e6; }

}  // namespace

int main(int argc, char** argv) {
  bench::OffscreenWithoutDisplay();
  QApplication app(argc, argv);

  orvexsim::SyntheticParams catalogue;
  if (argc > 1) {
    std::string error;
    if (!orvexsim::ParseSyntheticParams(argv[1], &catalogue, &error)) {
      std::fprintf(stderr, "bench_map_view: %s\n", error.c_str());
      return 2;
    }
  }

  QTemporaryDir dir;
  TAppSettings settings(QDir::currentPath().toStdString() + "/", "vertamo");
  settings.ChooseWorkFolder("Vertamo", dir.path().toStdString());
  TFormOptions options;
  options.startClient = false;
  TFormVertamo form(settings, options);
  form.resize(1280, 800);
  form.show();
  app.processEvents();
  const double baseMiB = PeakMiB();

  TMapModel& model = form.Model();
  {
    orvexsim::Scenario scenario = orvexsim::BuildSyntheticScenario(catalogue);
    FillModel(scenario, model);
  }
  const double decodedMiB = DecodedBytes(model) / (1024.0 * 1024.0);
  const double modelMiB = CurrentMiB();
  std::printf(
      "catalogue: %d maps of %dx%d, %d objects, %d picture sets of %d pictures, %d texts (platform %s)\n",
      model.MapList.Count(), catalogue.backgroundWidth, catalogue.backgroundHeight, model.ObjectList.Count(),
      model.PictureSets.Count(), catalogue.pictures, model.TextList.Count(),
      qPrintable(QGuiApplication::platformName()));

  // Building the maps and showing the first one, as a finished load does.
  QElapsedTimer timer;
  timer.start();
  form.BuildMaps();
  const double buildCallMs = Ms(timer);
  const double longestTurnMs = std::max(buildCallMs, Settle(app));
  const double buildMs = Ms(timer);

  // Switching to every other tab and painting it (each shows for the first time).
  TMapBoard& maps = form.Maps();
  QTabWidget* tabs = form.PageControl1;
  timer.restart();
  for (int m = 1; m < tabs->count(); ++m) {
    tabs->setCurrentIndex(m);
    tabs->repaint();
  }
  const double switchMs = Ms(timer) / std::max(1, tabs->count() - 1);
  const double switchedMiB = CurrentMiB();
  timer.restart();
  tabs->setCurrentIndex(0);
  tabs->repaint();
  const double switchBackMs = Ms(timer);
  app.processEvents();

  // One object of the visible map changes its state: only its own rectangle
  // is painted again.
  TMapView* view = maps.View(0);
  std::vector<int> visible;
  for (int i = 0; i < model.ObjectList.Count(); ++i)
    if (model.ObjectList.Get(i)->MapIndex == 0) visible.push_back(i);
  PaintCounter painted;
  view->viewport()->installEventFilter(&painted);
  const int updates = 1000;
  timer.restart();
  for (int u = 0; u < updates && !visible.empty(); ++u) {
    const int object = visible[static_cast<size_t>(u * 7919) % visible.size()];
    const MAPOBJECT* record = model.ObjectList.Get(object);
    form.SetObjectState(object, (record->Idx + 1) % std::max(1, record->Pictures ? record->Pictures->Count() : 1));
    app.processEvents();
  }
  const double updateUs = Ms(timer) * 1000.0 / updates;
  const double pixelsPerUpdate = static_cast<double>(painted.pixels) / updates;

  // The whole visible map painted again, for comparison.
  painted.Reset();
  timer.restart();
  for (int u = 0; u < 20; ++u) view->viewport()->repaint();
  const double fullMs = Ms(timer) / 20;
  const long long fullPixels = painted.pixels / 20;

  // Zoomed 50 % <-> 200 %, scrolled one page at 200 %, fitted.
  const int zooms = 20;
  timer.restart();
  for (int z = 0; z < zooms; ++z) {
    view->SetZoom(z % 2 ? 2.0 : 0.5);
    view->viewport()->repaint();
  }
  const double zoomMs = Ms(timer) / zooms;
  view->SetZoom(2.0);
  app.processEvents();
  timer.restart();
  for (int z = 0; z < zooms; ++z) {
    view->verticalScrollBar()->setValue(z % 2 ? 0 : view->verticalScrollBar()->pageStep());
    view->viewport()->repaint();
  }
  const double scrollMs = Ms(timer) / zooms;
  timer.restart();
  view->FitToWindow();
  view->viewport()->repaint();
  const double fitMs = Ms(timer);
  app.processEvents();
  view->viewport()->removeEventFilter(&painted);
  const double peakMiB = PeakMiB();

  // As F5 and a new connection clear them.
  timer.restart();
  form.ClearMaps();
  const double clearMs = Ms(timer);

  std::printf("build the maps and show the first:         %8.1f ms\n", buildMs);
  std::printf("  longest wait of the event loop:          %8.1f ms\n", longestTurnMs);
  std::printf("switch to a tab and paint it (mean):       %8.1f ms (back to the first: %.1f ms)\n", switchMs,
              switchBackMs);
  std::printf("pictures converted to pixmaps:             %8lld (once each)\n", maps.Pictures().Conversions());
  std::printf("one object's state changed, repainted:     %8.1f us per update (%d updates)\n", updateUs, updates);
  std::printf("  map pixels painted again per update:     %8.0f (the whole view: %lld)\n", pixelsPerUpdate,
              fullPixels);
  std::printf("whole visible map repainted (mean):        %8.2f ms\n", fullMs);
  std::printf("zoom the visible map 50 %% <-> 200 %% (mean):%7.1f ms\n", zoomMs);
  std::printf("scroll it one page at 200 %% (mean):        %8.1f ms\n", scrollMs);
  std::printf("fit it to the window:                      %8.1f ms\n", fitMs);
  std::printf("clear the maps:                            %8.1f ms\n", clearMs);
  std::printf("peak memory:                               %8.0f MiB (%.0f MiB before the catalogue)\n", peakMiB,
              baseMiB);
  std::printf("  in use with the model, after every tab:  %8.0f, %.0f MiB\n", modelMiB, switchedMiB);
  std::printf("  goal, 1.3 x decoded pixels + 100 MiB:    %8.0f MiB (decoded: %.0f MiB)\n",
              1.3 * decodedMiB + 100, decodedMiB);
  return 0;
}
