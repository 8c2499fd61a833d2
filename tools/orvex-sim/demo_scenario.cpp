// The demo district: the "Северный" residential area with nine houses, the lift
// hall and the machine room of one of them, 32 lifts, intercom units and
// security loops, and a live feed that behaves like a real district on an
// ordinary day. Everything is drawn by code (demo_pictures.h).
#include <initializer_list>
#include <string>
#include <vector>

#include "tools/orvex-sim/demo_pictures.h"
#include "tools/orvex-sim/scenario.h"

namespace orvexsim {
namespace {

using art::Rgb;
using art::ToWinColor;
using demo::BuildingPlan;
using demo::Look;

// Object kinds (TYPE on the wire); the live feed picks its objects by kind.
constexpr int kTypeLift = 2;
constexpr int kTypeIntercom = 3;
constexpr int kTypeSensor = 4;

constexpr int kMapDistrict = 0;
constexpr int kMapHall = 1;
constexpr int kMapRoom = 2;

const char kLiftSmall[] = "LiftSmall";
const char kHouseLifts[] = "HouseLifts";
const char kLiftLarge[] = "LiftLarge";
const char kIntercom[] = "Intercom";
const char kSensor[] = "LoopSensor";

// A house of the district.
struct House {
  const char* street;  // "ул. Лесная"
  BuildingPlan plan;
  int line;  // gateway line (COM) of its intercoms
  // Its lifts' intercoms reach the machine room as well as the cabin.
  bool machineRoomUnit = true;
};

std::string Address(const House& h) { return std::string(h.street) + ", " + h.plan.number; }

// The detailed house (its lifts are on the hall map) comes first.
std::vector<House> Houses() {
  // x, y, w, h, number, entrances, floors, lifts on the overview
  return {
      {"ул. Лесная", {50, 222, 400, 100, "12", 1, 9, false}, 1},
      {"ул. Лесная", {50, 46, 170, 130, "10", 1, 12, true}, 2},
      // The older houses on пр. Строителей: their lifts reach the cabin only.
      {"пр. Строителей", {290, 46, 170, 130, "3", 1, 12, true}, 3, false},
      {"ул. Лесная", {594, 222, 400, 100, "14", 3, 9, true}, 4},
      {"пр. Строителей", {594, 46, 170, 130, "5", 1, 16, true}, 5, false},
      {"ул. Лесная", {824, 46, 170, 130, "16", 1, 12, true}, 6},
      {"ул. Лесная", {50, 440, 400, 100, "9", 3, 9, true}, 7},
      {"ул. Лесная", {594, 440, 170, 130, "11", 2, 14, true}, 8},
      {"ул. Садовая", {824, 440, 170, 130, "2", 2, 14, true}, 9},
  };
}

constexpr int kLiftsPerEntrance = 2;

// One state of a picture set: how it is drawn and what it means.
struct State {
  Look look;
  const char* name;
  StateRole role;
};

// A transparent picture set whose pictures `draw` paints at `size`.
PictureSetDef MakeSet(const char* name, vertamo::Image (*draw)(Look, int), int size,
                      std::initializer_list<State> states) {
  PictureSetDef set;
  set.name = name;
  set.transparent = 1;
  for (const State& st : states) set.pictures.push_back({draw(st.look, size), st.name, st.role});
  return set;
}

PictureSetDef LiftSet(const char* name, int size) {
  return MakeSet(name, demo::LiftPicture, size,
                 {{Look::InService, "В работе", StateRole::Normal},
                  {Look::Fault, "Неисправен", StateRole::LiftFault},
                  {Look::Loop, "Сработал шлейф", StateRole::LoopTriggered},
                  {Look::CabinCall, "Вызов из кабины", StateRole::CabinCall},
                  {Look::NoLink, "Нет связи", StateRole::NoLink}});
}

// A house's lifts on the district map, where each of them is on a map of its
// own: the pictures of a lift in the same order, but its states count
// nowhere (the lifts themselves do).
PictureSetDef HouseLiftsSet(const char* name, int size) {
  return MakeSet(name, demo::LiftPicture, size,
                 {{Look::InService, "Лифты в работе", StateRole::Normal},
                  {Look::Fault, "Лифт неисправен", StateRole::Normal},
                  {Look::Loop, "Сработал шлейф", StateRole::Normal},
                  {Look::CabinCall, "Вызов из кабины", StateRole::Normal},
                  {Look::NoLink, "Нет связи", StateRole::Normal}});
}

PictureSetDef IntercomSet() {
  return MakeSet(kIntercom, demo::IntercomPicture, demo::kIntercomSize,
                 {{Look::InService, "Исправно", StateRole::Normal},
                  {Look::Fault, "Неисправно", StateRole::IntercomFault},
                  {Look::NoLink, "Нет связи", StateRole::NoLink}});
}

PictureSetDef SensorSet() {
  return MakeSet(kSensor, demo::SensorPicture, demo::kSensorSize,
                 {{Look::InService, "Норма", StateRole::Normal},
                  {Look::Loop, "Сработал", StateRole::LoopTriggered},
                  {Look::NoLink, "Нет связи", StateRole::NoLink}});
}

// The workstation draws an object's picture two pixels above its Y.
constexpr int kPictureLift = 2;

ObjectDef Lift(int map, int x, int y, const std::string& place, int number, int entrance, int floors,
               const std::string& set, int line, bool machineRoomUnit = true) {
  ObjectDef o;
  o.map = map;
  o.x = x;
  o.y = y + kPictureLift;
  o.name = "Лифт " + std::to_string(number);
  o.type = kTypeLift;
  o.iml = set;
  o.idx = 0;
  o.hint = "Лифт " + std::to_string(number) + ", подъезд " + std::to_string(entrance) + "$" + place + "$" +
           (number % 2 ? "пассажирский" : "грузопассажирский") + ", " + std::to_string(floors) + " остановок";
  o.place = place + ", подъезд " + std::to_string(entrance);
  CallDef call;
  call.com = line;
  call.adr = number;
  call.pul = number;
  // The texts name the house: the dispatcher's selector and the voice window
  // show them beside the lift's name, which is the same in every house.
  call.pulText = "Кабина лифта " + std::to_string(number) + ", " + o.place;
  if (machineRoomUnit) {
    call.pu = 0;
    call.puText = "Машинное помещение, " + o.place;
  }
  o.call = call;
  return o;
}

ObjectDef Intercom(int map, int x, int y, const std::string& name, const std::string& place, int line,
                   int adr) {
  ObjectDef o;
  o.map = map;
  o.x = x;
  o.y = y + kPictureLift;
  o.name = name;
  o.type = kTypeIntercom;
  o.iml = kIntercom;
  o.hint = "Переговорное устройство$" + name + "$" + place;
  o.place = place;
  CallDef call;
  call.com = line;
  call.adr = adr;
  call.pu = adr;
  call.puText = name;
  o.call = call;
  return o;
}

ObjectDef Sensor(int map, int x, int y, const std::string& name, const std::string& place) {
  ObjectDef o;
  o.map = map;
  o.x = x;
  o.y = y + kPictureLift;
  o.name = name;
  o.type = kTypeSensor;
  o.iml = kSensor;
  o.hint = "Охранный шлейф$" + name + "$" + place;
  o.place = place;
  return o;
}

// A plain label: Tahoma, transparent, sized to its text.
TextDef Label(int map, int x, int y, const std::string& caption, int size, uint32_t color, bool bold = false,
              bool italic = false) {
  TextDef t;
  t.map = map;
  t.x = x;
  t.y = y;
  t.w = 200;
  t.h = 20;
  t.caption = caption;
  t.fontName = "Tahoma";
  t.fontSize = size;
  t.fontColor = ToWinColor(color);
  t.transparent = 1;
  t.autoSize = 1;
  if (bold) t.bold = 1;
  if (italic) t.italic = 1;
  return t;
}

// A link to another map: a dark plate with white text that lights up under the
// mouse (the workstation swaps the two colours).
TextDef Link(int map, int x, int y, const std::string& caption, int target) {
  TextDef t;
  t.map = map;
  t.x = x;
  t.y = y;
  t.w = 200;
  t.h = 22;
  t.caption = caption;
  t.fontName = "Tahoma";
  t.fontSize = 10;
  t.bold = 1;
  t.transparent = 0;
  t.autoSize = 1;
  t.color = ToWinColor(Rgb(0x3B, 0x4A, 0x5A));
  t.fontColor = ToWinColor(Rgb(0xFF, 0xFF, 0xFF));
  t.action = 1;
  t.aparam = target;
  return t;
}

Layout DemoLayout() {
  Layout l;
  CounterLayout* counters[] = {&l.liftBreak, &l.ohrAlr, &l.puErr};
  for (int i = 0; i < 3; ++i) {
    const demo::Rect r = demo::CounterBox(i);
    counters[i]->present = true;
    counters[i]->x = r.x;
    counters[i]->y = r.y;
    counters[i]->w = r.w;
    counters[i]->h = r.h;
    counters[i]->fontName = "Tahoma";
  }
  const demo::Rect c = demo::ClockBox();
  l.clock.present = true;
  l.clock.x = c.x;
  l.clock.y = c.y;
  l.clock.w = c.w;
  l.clock.h = c.h;
  l.clock.fontName = "Tahoma";
  l.clock.color = ToWinColor(Rgb(0x2E, 0x38, 0x42));
  l.clock.fontColor = ToWinColor(Rgb(0xF0, 0xF0, 0xEA));
  l.clock.fontSize = 20;
  l.clock.bold = 1;
  const demo::Rect s = demo::SpeakerBox();
  l.speaker.present = true;
  l.speaker.x = s.x;
  l.speaker.y = s.y;
  l.speaker.w = s.w;
  l.speaker.h = s.h;
  return l;
}

// LOG rows: a light row in the colour of the event, dark text.
struct RowColors {
  uint32_t back, text;
};
constexpr RowColors kRowFault{Rgb(0xF6, 0xCF, 0xCB), Rgb(0x78, 0x14, 0x14)};
constexpr RowColors kRowLoop{Rgb(0xFB, 0xE6, 0xBC), Rgb(0x6E, 0x46, 0x00)};
constexpr RowColors kRowCall{Rgb(0xD1, 0xE2, 0xF7), Rgb(0x14, 0x32, 0x6E)};
constexpr RowColors kRowIntercom{Rgb(0xF8, 0xD8, 0xC2), Rgb(0x6E, 0x2D, 0x00)};
constexpr RowColors kRowNoLink{Rgb(0xE2, 0xE2, 0xE2), Rgb(0x3C, 0x3C, 0x3C)};
constexpr RowColors kRowBack{Rgb(0xD6, 0xEC, 0xD4), Rgb(0x19, 0x50, 0x23)};

LiveEventKind Kind(StateRole role, double weight, std::vector<int> types, double min_sec, double max_sec,
                   const char* event, const char* end, const char* note, RowColors colors, const char* wave,
                   const char* hint) {
  LiveEventKind k;
  k.role = role;
  k.weight = weight;
  k.objectTypes = std::move(types);
  k.minDurationSec = min_sec;
  k.maxDurationSec = max_sec;
  k.eventText = event;
  k.endText = end;
  k.note = note;
  k.color = ToWinColor(colors.back);
  k.fontColor = ToWinColor(colors.text);
  k.endColor = ToWinColor(kRowBack.back);
  k.endFontColor = ToWinColor(kRowBack.text);
  k.wave = wave;
  if (hint) k.hint = std::string(hint);
  return k;
}

Feed DemoFeed() {
  Feed f;
  f.deriveCounters = true;
  LiveFeed& live = f.live;
  live.enabled = true;
  live.eventsPerMinute = 5;
  // Now and then a quiet spell, as on a real shift.
  live.pauseChance = 0.01;
  live.pauseMinSec = 15;
  live.pauseMaxSec = 45;
  live.kinds = {
      Kind(StateRole::LiftFault, 3, {kTypeLift}, 45, 180, "Лифт остановлен: неисправность",
           "Лифт введён в работу", "Заявка передана механику", kRowFault, "Alarm.wav",
           "Лифт неисправен$Заявка передана механику"),
      Kind(StateRole::LoopTriggered, 2, {kTypeLift, kTypeSensor}, 15, 90, "Сработал охранный шлейф",
           "Шлейф восстановлен", "Проверить дверь", kRowLoop, "Loop.wav", "Сработал охранный шлейф"),
      Kind(StateRole::CabinCall, 3, {kTypeLift}, 10, 40, "Вызов диспетчера из кабины", "Вызов завершён",
           "Ответить пассажиру", kRowCall, "Call.wav", "Вызов из кабины$Щёлкните, чтобы ответить"),
      Kind(StateRole::IntercomFault, 1, {kTypeIntercom}, 60, 240, "Неисправно переговорное устройство",
           "Переговорное устройство исправно", "Нет ответа от ПУ", kRowIntercom, "Alarm.wav", nullptr),
      Kind(StateRole::NoLink, 1, {}, 20, 120, "Нет связи с объектом", "Связь восстановлена",
           "Проверить линию связи", kRowNoLink, "", "Нет связи с объектом"),
  };
  return f;
}

}  // namespace

Scenario BuildDemoScenario() {
  Scenario s;
  s.name = "Демонстрационный район «Северный»";
  const std::vector<House> houses = Houses();
  const House& detailed = houses.front();
  const std::string detailed_address = Address(detailed);

  // Maps.
  std::vector<BuildingPlan> plans;
  for (const auto& h : houses) plans.push_back(h.plan);
  s.maps.push_back({"Район «Северный»", demo::DistrictBackground(plans), 0});
  s.maps.push_back({"Лесная, 12 — лифтовой холл", demo::HallBackground("УЛ. ЛЕСНАЯ, 12"), 0});
  s.maps.push_back({"Лесная, 12 — машинное помещение", demo::MachineRoomBackground(), 0});
  s.layout = DemoLayout();

  s.pictureSets.push_back(LiftSet(kLiftSmall, demo::kDistrictLiftSize));
  s.pictureSets.push_back(LiftSet(kLiftLarge, demo::kHallLiftSize));
  s.pictureSets.push_back(IntercomSet());
  s.pictureSets.push_back(SensorSet());
  s.pictureSets.push_back(HouseLiftsSet(kHouseLifts, demo::kDistrictLiftSize));

  const uint32_t ink = demo::palette::kInk;
  const uint32_t street_ink = Rgb(0x6B, 0x73, 0x7B);

  // The district overview: lifts at the entrances, the intercom and the door
  // loop of each roof machine room.
  for (const auto& h : houses) {
    const std::string address = Address(h);
    const BuildingPlan& b = h.plan;
    // Name of the house above it; the detailed house links to its own maps.
    s.texts.push_back(Label(kMapDistrict, b.x, b.y - 17, address, 9, ink, true));
    if (!b.liftsOnMap) continue;
    int number = 1;
    for (int e = 0; e < b.entrances; ++e) {
      for (int k = 0; k < kLiftsPerEntrance; ++k, ++number) {
        ObjectDef lift = Lift(kMapDistrict, demo::DistrictLiftX(b, e, k, kLiftsPerEntrance),
                              demo::DistrictLiftY(b), address, number, e + 1, b.floors, kLiftSmall, h.line,
                              h.machineRoomUnit);
        lift.capVisible = 1;
        lift.caption = std::to_string(number);
        lift.cx = demo::kDistrictLiftSize / 2 - 4;
        lift.cy = 0;
        s.objects.push_back(lift);
      }
    }
    const demo::Rect room = demo::RoofRoom(b);
    s.objects.push_back(Intercom(kMapDistrict, room.x + 6, room.y + 5, "ПУ машинного помещения",
                                 address + ", машинное помещение", h.line, 90));
    s.objects.push_back(
        Sensor(kMapDistrict, room.x + 38, room.y + 6, "Дверь машинного помещения", address + ", кровля"));
  }
  // Links from the detailed house to its maps.
  {
    const BuildingPlan& b = detailed.plan;
    s.texts.push_back(Link(kMapDistrict, b.x + 120, b.y + 14, "Лифтовой холл  ›", kMapHall));
    s.texts.push_back(Link(kMapDistrict, b.x + 120, b.y + 42, "Машинное помещение  ›", kMapRoom));
  }
  // Street names.
  s.texts.push_back(Label(kMapDistrict, 20, 366, "ул. Лесная", 9, street_ink, false, true));
  s.texts.push_back(Label(kMapDistrict, 640, 366, "ул. Лесная", 9, street_ink, false, true));
  s.texts.push_back(Label(kMapDistrict, 20, 677, "ул. Садовая", 9, street_ink, false, true));
  s.texts.push_back(Label(kMapDistrict, 640, 677, "ул. Садовая", 9, street_ink, false, true));
  s.texts.push_back(Label(kMapDistrict, 556, 332, "пр. Строителей", 9, street_ink, false, true));
  s.texts.push_back(Label(kMapDistrict, 556, 644, "пр. Строителей", 9, street_ink, false, true));

  // The lift hall of the detailed house.
  const std::string hall_place = detailed_address + ", лифтовой холл";
  ObjectDef house;  // on the district map: the most urgent of the hall's lifts
  house.map = kMapDistrict;
  house.x = demo::DistrictLiftX(detailed.plan, 0, 0, kLiftsPerEntrance);
  house.y = demo::DistrictLiftY(detailed.plan) + kPictureLift;
  house.name = "Лифты дома";
  house.type = kTypeLift;
  house.iml = kHouseLifts;
  house.hint = "Лифты дома$" + detailed_address + "$в лифтовом холле";
  house.place = detailed_address;
  for (int i = 0; i < demo::kHallLifts; ++i) {
    house.summarises.push_back(static_cast<int>(s.objects.size()));
    const int cx = demo::HallDoorCentreX(i);
    ObjectDef lift = Lift(kMapHall, cx - demo::kHallLiftSize / 2, 330, detailed_address, i + 1, 1,
                          detailed.plan.floors, kLiftLarge, detailed.line);
    lift.capVisible = 1;
    lift.cx = 3;
    lift.cy = 6;
    lift.capColor = ToWinColor(Rgb(0xF4, 0xF2, 0xEC));
    s.objects.push_back(lift);
    s.objects.push_back(Intercom(kMapHall, cx + 113, 352, "ПУ кабины лифта " + std::to_string(i + 1),
                                 hall_place, detailed.line, i + 1));
  }
  s.objects.push_back(house);
  s.texts.push_back(Link(kMapHall, 20, 760, "‹  План района", kMapDistrict));
  s.texts.push_back(Link(kMapHall, 800, 760, "Машинное помещение  ›", kMapRoom));
  s.texts.push_back(Label(kMapHall, 20, 616, "Щелчок по лифту — связь с кабиной или машинным помещением", 9,
                          Rgb(0x5A, 0x55, 0x4C), false, true));

  // The machine room above it.
  const std::string room_place = detailed_address + ", машинное помещение";
  const demo::Rect door = demo::RoomDoor(), hatch = demo::RoomHatch(), board = demo::RoomBoard();
  s.objects.push_back(
      Intercom(kMapRoom, door.x + 30, door.y - 40, "ПУ машинного помещения", room_place, detailed.line, 90));
  s.objects.push_back(
      Sensor(kMapRoom, door.x + 31, door.y + door.h + 8, "Дверь машинного помещения", room_place));
  s.objects.push_back(Sensor(kMapRoom, hatch.x - 32, hatch.y + 28, "Люк в шахту", room_place));
  s.objects.push_back(Sensor(kMapRoom, board.x + board.w + 10, board.y + 17, "Дверца ВРУ", room_place));
  s.texts.push_back(Link(kMapRoom, 42, 768, "‹  Лифтовой холл", kMapHall));
  s.texts.push_back(Link(kMapRoom, 220, 768, "‹  План района", kMapDistrict));

  // The day does not start spotless: one lift is under repair and one machine
  // room intercom has lost its line.
  for (auto& o : s.objects) {
    if (o.type == kTypeLift && o.place == "ул. Лесная, 9, подъезд 2" && o.name == "Лифт 3") {
      o.idx = 1;
      o.hint = "Лифт 3, подъезд 2$ул. Лесная, 9$На ремонте: замена тяговых канатов";
    }
    if (o.type == kTypeIntercom && o.place == "ул. Садовая, 2, машинное помещение") o.idx = 2;
  }

  s.feed = DemoFeed();
  return s;
}

}  // namespace orvexsim
