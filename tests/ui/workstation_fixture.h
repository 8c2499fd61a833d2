// The main window connected to orvex-sim, started in-process on a free
// loopback port with a small district: what the window tests drive.
#pragma once

#include <QApplication>
#include <QTabWidget>
#include <QTest>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "map/ui/map_items.h"
#include "map/ui/map_view.h"
#include "platform/cp1251.h"
#include "settings/app_settings.h"
#include "settings/fast_ini.h"
#include "settings/server_profile.h"
#include "shell/form_vertamo.h"
#include "support/solid_image.h"
#include "support/temp_folder.h"
#include "tools/orvex-sim/scenario.h"
#include "tools/orvex-sim/server.h"

namespace vertamo::test {

using testing::SolidImage;

// Three maps: 0 "Район" (a 400 x 300 background), 1 "Холл" (none), 2 "Подвал"
// (a 300 x 200 background).
// Objects: 0 "Лифт 1" at 10,20, 32 x 24 pictures, caption "Л1" shown at CX 0,
//   CY 2, transparent; 1 "Лифт 2" of type 1 with a red caption box;
//   2 "Лифт 3" with an empty caption shown (its name); 3 "Датчик" on map 2,
//   no caption.
// Texts: 0 on map 0 linking to map 2; 1 on map 1 linking to map 0; 2 a plain
//   text on map 0; 3 an invisible link on map 0; 4 on map 0 linking to map 1.
// Layout: the faulty-lifts and loop counters, the clock and the speaker; no
//   counter of faulty intercom units.
inline std::shared_ptr<orvexsim::Scenario> SmallDistrict() {
  using namespace orvexsim;
  auto s = std::make_shared<Scenario>();
  s->name = "window test";
  s->maps = {{"Район", SolidImage(400, 300, 0xFF405060u), 0},
             {"Холл", Image{}, 0},
             {"Подвал", SolidImage(300, 200, 0xFF605040u), 0}};
  s->layout.liftBreak = {true, 200, 10, 80, 50, "Tahoma", 1};
  s->layout.ohrAlr = {true, 290, 10, 80, 50, "Arial", 0};
  s->layout.clock.present = true;
  s->layout.clock.x = 200;
  s->layout.clock.y = 70;
  s->layout.clock.w = 90;
  s->layout.clock.h = 30;
  s->layout.clock.fontName = "Arial";
  s->layout.clock.fontSize = 14;
  s->layout.clock.color = 0x000000;
  s->layout.clock.fontColor = 0x00FFFF;
  s->layout.clock.bold = 1;
  s->layout.speaker = {true, 300, 120, 64, 64, 0};

  PictureSetDef lift{"lift", 0, {}};
  for (uint32_t colour : {0xFF00A000u, 0xFFD00000u, 0xFF0000D0u, 0xFF808080u})
    lift.pictures.push_back({SolidImage(32, 24, colour), "state", StateRole::Normal});
  PictureSetDef sensor{"sensor", 0, {}};
  sensor.pictures.push_back({SolidImage(12, 12, 0xFF00FF00u), "Норма", StateRole::Normal});
  sensor.pictures.push_back({SolidImage(12, 12, 0xFFFF8000u), "Шлейф", StateRole::LoopTriggered});
  s->pictureSets = {lift, sensor};

  auto object = [](int map, int x, int y, const char* name, int type, const char* iml) {
    ObjectDef o;
    o.map = map;
    o.x = x;
    o.y = y;
    o.name = name;
    o.type = type;
    o.iml = iml;
    o.hint = std::string(name) + "$ул. Лесная, 12";
    return o;
  };
  ObjectDef lift1 = object(0, 10, 20, "Лифт 1", 0, "lift");
  lift1.capVisible = 1;
  lift1.cx = 0;
  lift1.cy = 2;
  lift1.caption = "Л1";
  ObjectDef lift2 = object(0, 100, 100, "Лифт 2", 1, "lift");
  lift2.capVisible = 1;
  lift2.caption = "Л2";
  lift2.capColor = 0x0000FF;
  ObjectDef lift3 = object(0, 150, 200, "Лифт 3", 0, "lift");
  lift3.capVisible = 1;
  ObjectDef sensor1 = object(2, 40, 50, "Датчик", 2, "sensor");
  s->objects = {lift1, lift2, lift3, sensor1};

  auto text = [](int map, int x, int y, const char* caption) {
    TextDef t;
    t.map = map;
    t.x = x;
    t.y = y;
    t.w = 80;
    t.h = 16;
    t.caption = caption;
    t.color = 0xFFFFFF;
    t.fontColor = 0x000000;
    return t;
  };
  TextDef toCellar = text(0, 10, 250, "В подвал");
  toCellar.action = 1;
  toCellar.aparam = 2;
  TextDef toDistrict = text(1, 10, 10, "На район");
  toDistrict.action = 1;
  toDistrict.aparam = 0;
  TextDef plain = text(0, 150, 250, "Котельная");
  TextDef hidden = text(0, 10, 280, "Невидимая");
  hidden.visible = 0;
  hidden.action = 1;
  hidden.aparam = 1;
  TextDef toHall = text(0, 250, 250, "В холл");
  toHall.action = 1;
  toHall.aparam = 1;
  s->texts = {toCellar, toDistrict, plain, hidden, toHall};
  s->feed.deriveCounters = false;
  return s;
}

// The small district whose first object is a lift at the gateway
// "localhost", line 3: its cabin is unit 2, its machine room (when it has
// one) unit 5.
inline std::shared_ptr<orvexsim::Scenario> DistrictWithALift(bool machineRoom) {
  auto district = SmallDistrict();
  orvexsim::CallDef call;
  call.gateway = "localhost";
  call.com = 3;
  call.adr = 17;
  call.pul = 2;
  if (machineRoom) {
    call.pu = 5;
    call.pulText = "Кабина лифта 1, ул. Лесная, 12";
    call.puText = "Машинное помещение, ул. Лесная, 12";
  }
  district->objects[0].call = call;
  return district;
}

// A district of `objects` lifts on `maps` maps, for loads that take a while.
inline std::shared_ptr<orvexsim::Scenario> BusyDistrict(int maps, int objects) {
  auto s = SmallDistrict();
  s->maps.clear();
  for (int m = 0; m < maps; ++m)
    s->maps.push_back({"Карта " + std::to_string(m + 1), SolidImage(64, 64, 0xFF000000u | (m * 40)), 0});
  s->objects.clear();
  for (int i = 0; i < objects; ++i) {
    orvexsim::ObjectDef o;
    o.map = i % maps;
    o.x = (i * 7) % 600;
    o.y = (i * 13) % 400;
    o.name = "Лифт " + std::to_string(i + 1);
    o.iml = i % 2 ? "lift" : "sensor";
    o.hint = "Лифт";
    o.capVisible = 1;
    s->objects.push_back(o);
  }
  s->texts.clear();
  return s;
}

inline orvexsim::ServerOptions QuietServer() {
  orvexsim::ServerOptions options;
  options.liveTickMs = 0;
  return options;
}

// Faster waits than a real shift: polls every 100 ms.
inline TClientTimings QuickTimings() {
  TClientTimings timings;
  timings.pollPeriodMs = 100;
  timings.pauseMs = 200;
  timings.readTimeoutMs = 10000;
  return timings;
}

// A point on the picture of `object` (3, 3 in from its corner): its map
// shown and the picture scrolled into view, with a margin, so that a click
// reaches it.
struct TObjectSpot {
  QWidget* map = nullptr;  // the viewport of the map's view
  QPoint at;
};
inline TObjectSpot SpotOf(ui::TFormVertamo& form, int object) {
  const MAPOBJECT* o = form.Model().ObjectList.Get(object);
  if (!o || !form.ShowMap(o->MapIndex)) return {};
  ui::TMapView* view = form.Maps().View(o->MapIndex);
  const ui::TObjectItem* item = form.Maps().ObjectItem(object);
  view->ensureVisible(item, 120, 120);
  return {view->viewport(), view->ToView(item->sceneBoundingRect()).topLeft() + QPoint(3, 3)};
}
inline void ClickObject(ui::TFormVertamo& form, int object, Qt::MouseButton button = Qt::LeftButton) {
  const TObjectSpot spot = SpotOf(form, object);
  QTest::mouseClick(spot.map, button, {}, spot.at);
}
inline void PressObject(ui::TFormVertamo& form, int object, Qt::MouseButton button = Qt::LeftButton) {
  const TObjectSpot spot = SpotOf(form, object);
  QTest::mousePress(spot.map, button, {}, spot.at);
}

// The main window working in `folder`, without a connection.
struct OfflineWindow {
  explicit OfflineWindow(const std::string& folder) : settings("/opt/vertamo/", "vertamo") {
    settings.ChooseWorkFolder("Vertamo", folder);
    ui::TFormOptions options;
    options.startClient = false;
    form = std::make_unique<ui::TFormVertamo>(settings, options);
  }
  TAppSettings settings;
  std::unique_ptr<ui::TFormVertamo> form;
};

class Workstation {
 public:
  explicit Workstation(std::shared_ptr<orvexsim::Scenario> scenario = SmallDistrict(),
                       orvexsim::ServerOptions serverOptions = QuietServer(),
                       TClientTimings timings = QuickTimings(), bool show = true, bool debug = false,
                       IAudioOutput* audio = nullptr) {
    StartServer(std::move(scenario), serverOptions);
    OpenWindow(timings, show, debug, audio);
  }
  // A district that has run for a while before the window logs in (as the
  // built-in demo does): `warmUp` has the running server first.
  Workstation(std::shared_ptr<const orvexsim::Scenario> scenario,
              const std::function<void(orvexsim::Server&)>& warmUp) {
    StartServer(std::move(scenario), QuietServer());
    warmUp(server);
    OpenWindow(QuickTimings(), true, false);
  }
  // The window with the options `configure` sets (the telephony, the gateway port).
  Workstation(std::shared_ptr<orvexsim::Scenario> scenario,
              const std::function<void(ui::TFormOptions&)>& configure) {
    StartServer(std::move(scenario), QuietServer());
    OpenWindow(QuickTimings(), true, false, nullptr, configure);
  }
  ~Workstation() {
    form.reset();
    server.Stop();
  }

  // The maps are shown and the feed is polled.
  bool WaitForMaps(int timeoutMs = 20000) {
    return QTest::qWaitFor(
        [&] {
          return form->PageControl1->isVisible() && form->Client() &&
                 form->Client()->Stage() == kStagePolling;
        },
        timeoutMs);
  }

  // Lines for every connection's next poll; waits until `done` holds.
  template <class Done>
  bool Feed(const std::vector<std::string>& lines, Done done, int timeoutMs = 10000) {
    server.Broadcast(lines);
    return QTest::qWaitFor(done, timeoutMs);
  }

  // Request lines the server received that begin with `prefix`.
  int Requests(const std::string& prefix) const {
    int n = 0;
    for (const auto& entry : server.Record())
      if (entry.line.rfind(prefix, 0) == 0) ++n;
    return n;
  }

  MAPOBJECT* Object(int index) { return form->Model().ObjectList.Get(index); }
  MAPTEXT* Text(int index) { return form->Model().TextList.Get(index); }

  testing::TempFolder dir;
  orvexsim::Server server;
  bool started = false;
  bool exposed = false;
  std::unique_ptr<TAppSettings> settings;
  std::unique_ptr<ui::TFormVertamo> form;

 private:
  void StartServer(std::shared_ptr<const orvexsim::Scenario> scenario,
                   const orvexsim::ServerOptions& options) {
    std::string error;
    started = server.Start(std::move(scenario), options, &error);
    if (!started) qWarning("orvex-sim: %s", error.c_str());
  }
  void OpenWindow(TClientTimings timings, bool show, bool debug, IAudioOutput* audio = nullptr,
                  const std::function<void(ui::TFormOptions&)>& configure = {}) {
    WriteProfile(server.Port(), debug);
    settings = std::make_unique<TAppSettings>("/opt/vertamo/", "vertamo");
    settings->ChooseWorkFolder("Vertamo", dir.path());
    ui::TFormOptions options;
    options.timings = timings;
    options.audio = audio;
    if (configure) configure(options);
    form = std::make_unique<ui::TFormVertamo>(*settings, options);
    if (show) {
      form->show();
      exposed = QTest::qWaitForWindowExposed(form.get());
    }
  }
  void WriteProfile(uint16_t port, bool debug) {
    TFastIni ini(dir.file("Vertamo.ini"));
    SERVERINFO profile = DefaultProfile();
    SetProfileText(profile.Name, Utf8ToCp1251("Тестовый сервер"));
    SetProfileText(profile.Ip, "127.0.0.1");
    profile.Port = port;
    profile.Debug = debug;
    SaveProfile(ini, "ServerInfo", profile);
    ini.Save();
  }
};

}  // namespace vertamo::test
