#include "tools/orvex-sim/demo_pictures.h"

#include <algorithm>
#include <cmath>

namespace orvexsim::demo {
namespace {

using art::Canvas;
using art::Darker;
using art::Lighter;
using art::Mix;
using art::Pt;
using art::Rgb;
using art::WithAlpha;

constexpr uint32_t kWhite = Rgb(255, 255, 255);
constexpr uint32_t kShadow = WithAlpha(0x000000, 70);

uint32_t LookColor(Look look) {
  switch (look) {
    case Look::InService:
      return palette::kInService;
    case Look::Fault:
      return palette::kFault;
    case Look::Loop:
      return palette::kLoop;
    case Look::CabinCall:
      return palette::kCabinCall;
    case Look::NoLink:
      return palette::kNoLink;
  }
  return palette::kNoLink;
}

// --- Symbols, drawn in a box of side s at (x, y) ---------------------------

void DrawArrows(Canvas& c, double x, double y, double s, uint32_t ink) {
  c.FillPolygon({{x + 0.5 * s, y + 0.16 * s}, {x + 0.76 * s, y + 0.44 * s}, {x + 0.24 * s, y + 0.44 * s}},
                ink);
  c.FillPolygon({{x + 0.24 * s, y + 0.56 * s}, {x + 0.76 * s, y + 0.56 * s}, {x + 0.5 * s, y + 0.84 * s}},
                ink);
}

void DrawExclamation(Canvas& c, double x, double y, double s, uint32_t ink) {
  c.Line(x + 0.5 * s, y + 0.24 * s, x + 0.5 * s, y + 0.56 * s, 0.15 * s, ink);
  c.FillCircle(x + 0.5 * s, y + 0.76 * s, 0.085 * s, ink);
}

void DrawQuestion(Canvas& c, double x, double y, double s, uint32_t ink) {
  const double t = 0.12 * s;
  const double cx = x + 0.5 * s, cy = y + 0.36 * s, r = 0.15 * s;
  c.StrokeArc(cx, cy, r, t, -60, 170, ink);
  const double ex = cx + r * std::cos(-60 * 3.14159265 / 180), ey = cy - r * std::sin(-60 * 3.14159265 / 180);
  c.Line(ex, ey, cx, y + 0.58 * s, t, ink);
  c.FillCircle(cx, y + 0.77 * s, 0.075 * s, ink);
}

// A padlock; `open` lifts the shackle out of its right socket.
void DrawPadlock(Canvas& c, double x, double y, double s, bool open, uint32_t ink, uint32_t hole) {
  const double t = 0.09 * s;
  const double bx = x + 0.27 * s, by = y + 0.46 * s, bw = 0.46 * s, bh = 0.34 * s;
  const double r = 0.14 * s, cx = x + 0.5 * s;
  const double lift = open ? 0.1 * s : 0;
  const double top = by - 0.06 * s - lift;
  c.StrokeArc(cx, top, r, t, 0, 180, ink);
  c.Line(cx - r, top, cx - r, by + 0.02 * s, t, ink);
  c.Line(cx + r, top, cx + r, open ? top + 0.05 * s : by + 0.02 * s, t, ink);
  c.FillRoundRect(bx, by, bw, bh, 0.06 * s, ink);
  c.FillCircle(cx, by + 0.13 * s, 0.05 * s, hole);
  c.Line(cx, by + 0.14 * s, cx, by + 0.24 * s, 0.05 * s, hole);
}

void DrawBubble(Canvas& c, double x, double y, double s, uint32_t ink, uint32_t dots) {
  c.FillRoundRect(x + 0.18 * s, y + 0.22 * s, 0.64 * s, 0.42 * s, 0.12 * s, ink);
  c.FillPolygon({{x + 0.3 * s, y + 0.6 * s}, {x + 0.26 * s, y + 0.82 * s}, {x + 0.48 * s, y + 0.62 * s}},
                ink);
  for (int i = 0; i < 3; ++i) c.FillCircle(x + (0.34 + 0.16 * i) * s, y + 0.43 * s, 0.055 * s, dots);
}

void DrawLoudspeaker(Canvas& c, double x, double y, double s, uint32_t ink) {
  c.FillRoundRect(x + 0.2 * s, y + 0.4 * s, 0.14 * s, 0.2 * s, 0.02 * s, ink);
  c.FillPolygon({{x + 0.32 * s, y + 0.4 * s},
                 {x + 0.5 * s, y + 0.24 * s},
                 {x + 0.5 * s, y + 0.76 * s},
                 {x + 0.32 * s, y + 0.6 * s}},
                ink);
  c.StrokeArc(x + 0.5 * s, y + 0.5 * s, 0.12 * s, 0.07 * s, -45, 45, ink);
  c.StrokeArc(x + 0.5 * s, y + 0.5 * s, 0.24 * s, 0.07 * s, -45, 45, ink);
}

// Makes the bottom-left pixel transparent: the workstation takes the colour of
// that pixel as the transparent colour of a picture.
vertamo::Image Finish(Canvas& c) {
  c.SetRect(0, c.height() - 1, 1, 1, art::kClear);
  return c.Take();
}

// --- The right column ------------------------------------------------------

void DrawRaisedSocket(Canvas& c, const Rect& r) {
  c.FillRoundRect(r.x + 2, r.y + 3, r.w + 2, r.h + 2, 4, WithAlpha(0x000000, 45));
  c.FillRect(r.x - 1, r.y - 1, r.w + 2, r.h + 2, Darker(palette::kPanel, 0.25));
}

void DrawPanel(Canvas& c) {
  const int x = kPanelX;
  c.FillRect(x, 0, kMapWidth - x, kMapHeight, palette::kPanel);
  c.FillRect(x, 0, 3, kMapHeight, Darker(palette::kPanel, 0.18));
  c.FillRect(x + 3, 0, 1, kMapHeight, Lighter(palette::kPanel, 0.4));
  c.TextCentered(x + (kMapWidth - x) / 2, 12, "ДИСПЕТЧЕРСКАЯ", 2, palette::kInk);

  DrawRaisedSocket(c, ClockBox());
  for (int i = 0; i < 3; ++i) DrawRaisedSocket(c, CounterBox(i));
  const Rect spk = SpeakerBox();
  c.FillCircle(spk.x + spk.w / 2.0 + 1, spk.y + spk.h / 2.0 + 3, spk.w / 2.0 - 1, WithAlpha(0x000000, 30));
  c.StrokeCircle(spk.x + spk.w / 2.0, spk.y + spk.h / 2.0, spk.w / 2.0 + 3, 1.5,
                 Darker(palette::kPanel, 0.12));

  // Legend of the state colours.
  int y = 594;
  c.FillRect(kPanelInnerX, y - 8, kPanelInnerW, 1, Darker(palette::kPanel, 0.15));
  c.Text(kPanelInnerX, y, "ОБОЗНАЧЕНИЯ", 2, Lighter(palette::kInk, 0.3));
  y += 22;
  struct Row {
    Look look;
    const char* text;
  };
  const Row rows[] = {{Look::InService, "В РАБОТЕ"},
                      {Look::Fault, "НЕИСПРАВЕН"},
                      {Look::Loop, "ШЛЕЙФ СРАБОТАЛ"},
                      {Look::CabinCall, "ВЫЗОВ ИЗ КАБИНЫ"},
                      {Look::NoLink, "НЕТ СВЯЗИ"}};
  for (const auto& row : rows) {
    const vertamo::Image icon = LiftPicture(row.look, 26);
    for (int iy = 0; iy < icon.height; ++iy) {
      for (int ix = 0; ix < icon.width; ++ix) {
        c.Blend(kPanelInnerX + ix, y + iy, icon.argb[static_cast<size_t>(iy) * icon.width + ix]);
      }
    }
    c.Text(kPanelInnerX + 34, y + 6, row.text, 2, palette::kInk);
    y += 34;
  }
}

void DrawTree(Canvas& c, double x, double y, double r) {
  c.FillCircle(x + 2, y + 3, r, WithAlpha(0x000000, 30));
  c.FillCircle(x, y, r, Rgb(0xA3, 0xBE, 0x96));
  c.StrokeCircle(x, y, r - 0.75, 1.5, Rgb(0x8A, 0xA6, 0x7E));
  c.FillCircle(x - r * 0.3, y - r * 0.3, r * 0.35, Rgb(0xB2, 0xCA, 0xA6));
}

void DrawRoad(Canvas& c, int x, int y, int w, int h) {
  constexpr uint32_t kRoad = Rgb(0xF0, 0xEF, 0xEA), kKerb = Rgb(0xB9, 0xBE, 0xB6);
  c.FillRect(x, y, w, h, kRoad);
  if (w > h) {
    c.FillRect(x, y, w, 2, kKerb);
    c.FillRect(x, y + h - 2, w, 2, kKerb);
    c.DashedLine(x + 6, y + h / 2.0, x + w, y + h / 2.0, 2, 18, 14, Rgb(0xD8, 0xD5, 0xCA));
  } else {
    c.FillRect(x, y, 2, h, kKerb);
    c.FillRect(x + w - 2, y, 2, h, kKerb);
    c.DashedLine(x + w / 2.0, y + 6, x + w / 2.0, y + h, 2, 18, 14, Rgb(0xD8, 0xD5, 0xCA));
  }
}

void DrawCrossing(Canvas& c, int x, int y, int w, int h, bool across_horizontal_road) {
  // Zebra stripes across the road.
  for (int i = 0; i < (across_horizontal_road ? w : h); i += 8) {
    if (across_horizontal_road) {
      c.FillRect(x + i, y + 4, 4, h - 8, Rgb(0xFA, 0xFA, 0xF6));
      c.StrokeRect(x + i, y + 4, 4, h - 8, 1, Rgb(0xDD, 0xDC, 0xD4));
    } else {
      c.FillRect(x + 4, y + i, w - 8, 4, Rgb(0xFA, 0xFA, 0xF6));
      c.StrokeRect(x + 4, y + i, w - 8, 4, 1, Rgb(0xDD, 0xDC, 0xD4));
    }
  }
}

void DrawBuilding(Canvas& c, const BuildingPlan& b) {
  // A house shown in detail on maps of its own is tinted blue, like its links.
  const uint32_t kRoof = b.liftsOnMap ? Rgb(0xBD, 0xC4, 0xCD) : Rgb(0xB9, 0xC6, 0xD4);
  const uint32_t kEdge = b.liftsOnMap ? Rgb(0x84, 0x8E, 0x9A) : Rgb(0x5E, 0x7A, 0x9A);
  // Shadow, roof, parapet.
  c.FillRoundRect(b.x + 6, b.y + 6, b.w, b.h, 3, WithAlpha(0x000000, 38));
  c.FillRect(b.x, b.y, b.w, b.h, kRoof);
  c.StrokeRect(b.x, b.y, b.w, b.h, 2, kEdge);
  c.StrokeRect(b.x + 5, b.y + 5, b.w - 10, b.h - 10, 1, Lighter(kRoof, 0.35));
  // Sections of the building: one per entrance.
  for (int e = 1; e < b.entrances; ++e) {
    const int sx = b.x + b.w * e / b.entrances;
    c.FillRect(sx, b.y + 2, 1, b.h - 4, Darker(kRoof, 0.12));
  }
  // Entrances: porches on the lower side with a path to the pavement.
  for (int e = 0; e < b.entrances; ++e) {
    const int ex = b.x + b.w * (2 * e + 1) / (2 * b.entrances);
    c.FillRect(ex - 10, b.y + b.h, 20, 12, Rgb(0xE4, 0xE2, 0xDA));
    c.FillRect(ex - 14, b.y + b.h, 28, 7, Rgb(0x9D, 0xA6, 0xB1));
    c.StrokeRect(ex - 14, b.y + b.h, 28, 7, 1, kEdge);
  }
  // Roof machine room.
  const Rect m = RoofRoom(b);
  c.FillRect(m.x + 3, m.y + 3, m.w, m.h, WithAlpha(0x000000, 40));
  c.FillRect(m.x, m.y, m.w, m.h, Rgb(0xA6, 0xAF, 0xBA));
  c.StrokeRect(m.x, m.y, m.w, m.h, 1, kEdge);
  // House number and floors, in the free part of the roof.
  const int free_w = m.x - b.x;
  const int scale = b.w >= 300 ? 4 : 3;
  const int tx = b.x + 12, ty = b.y + 10;
  c.Text(tx, ty, b.number, scale, Rgb(0x6E, 0x78, 0x84));
  if (free_w > 60) {
    c.Text(tx, ty + 7 * scale + 6, std::to_string(b.floors) + " ЭТ.", 1, Rgb(0x7A, 0x84, 0x90));
  }
}

}  // namespace

// --- Layout ------------------------------------------------------------------

Rect ClockBox() { return {kPanelInnerX, 40, kPanelInnerW, 48}; }
Rect CounterBox(int i) { return {kPanelInnerX, 100 + i * 114, kPanelInnerW, 104}; }
Rect SpeakerBox() { return {kPanelX + (kMapWidth - kPanelX - 130) / 2, 444, 130, 130}; }

Rect RoofRoom(const BuildingPlan& b) { return {b.x + b.w - 74, b.y + 8, 66, 34}; }

int DistrictLiftX(const BuildingPlan& b, int e, int k, int lifts_per_entrance) {
  const int centre = b.x + b.w * (2 * e + 1) / (2 * std::max(b.entrances, 1));
  const int pair = lifts_per_entrance * kDistrictLiftSize + (lifts_per_entrance - 1) * 4;
  return centre - pair / 2 + k * (kDistrictLiftSize + 4);
}

int DistrictLiftY(const BuildingPlan& b) { return b.y + b.h - 50; }

int HallDoorCentreX(int i) { return 140 + i * 250; }
int MachineCentreX(int i) { return 190 + i * 220; }
Rect RoomWalls() { return {60, 70, 920, 670}; }
Rect RoomDoor() { return {42, 440, 18, 80}; }
Rect RoomHatch() { return {860, 100, 80, 80}; }
Rect RoomBoard() { return {90, 90, 110, 56}; }

// --- State pictures --------------------------------------------------------------

vertamo::Image LiftPicture(Look look, int s) {
  Canvas c(s, s);
  const uint32_t fill = LookColor(look);
  const double m = std::max(1.0, s / 16.0);
  const double side = s - 2 * m - 1;
  c.FillRoundRect(m + 1, m + 1.5, side, side, s * 0.2, kShadow);
  c.FillRoundRect(m, m, side, side, s * 0.2, fill);
  c.StrokeRoundRect(m, m, side, side, s * 0.2, std::max(1.0, s / 24.0), Darker(fill, 0.3));
  // A light upper half gives the tile some depth without drawing attention.
  c.FillRoundRect(m + 2, m + 2, side - 4, side * 0.42, s * 0.16, WithAlpha(0xFFFFFF, 28));
  const double o = m, g = side;
  switch (look) {
    case Look::InService:
      DrawArrows(c, o, o, g, kWhite);
      break;
    case Look::Fault:
      DrawExclamation(c, o, o, g, kWhite);
      break;
    case Look::Loop:
      DrawPadlock(c, o, o, g, true, kWhite, fill);
      break;
    case Look::CabinCall:
      DrawBubble(c, o, o, g, kWhite, fill);
      break;
    case Look::NoLink:
      DrawQuestion(c, o, o, g, kWhite);
      break;
  }
  return Finish(c);
}

vertamo::Image IntercomPicture(Look look, int s) {
  Canvas c(s, s);
  const uint32_t fill = LookColor(look);
  const double r = (s - 3) / 2.0;
  c.FillCircle(s / 2.0 + 0.5, s / 2.0 + 0.5, r, kShadow);
  c.FillCircle(s / 2.0 - 0.5, s / 2.0 - 0.5, r, fill);
  c.StrokeCircle(s / 2.0 - 0.5, s / 2.0 - 0.5, r - 0.5, std::max(1.0, s / 24.0), Darker(fill, 0.3));
  const double o = 1, g = s - 3;
  switch (look) {
    case Look::Fault:
      DrawExclamation(c, o, o, g, kWhite);
      break;
    case Look::NoLink:
      DrawQuestion(c, o, o, g, kWhite);
      break;
    default:
      DrawLoudspeaker(c, o, o, g, kWhite);
      break;
  }
  return Finish(c);
}

vertamo::Image SensorPicture(Look look, int s) {
  Canvas c(s, s);
  const uint32_t fill = LookColor(look);
  const double h = (s - 2) / 2.0, cx = h, cy = h;
  auto diamond = [&](double dx, double dy) {
    return std::vector<Pt>{{cx + dx, cy - h + 0.5 + dy},
                           {cx + h - 0.5 + dx, cy + dy},
                           {cx + dx, cy + h - 0.5 + dy},
                           {cx - h + 0.5 + dx, cy + dy}};
  };
  c.FillPolygon(diamond(1, 1.5), kShadow);
  c.FillPolygon(diamond(0, 0), fill);
  c.StrokePolyline(diamond(0, 0), std::max(1.0, s / 22.0), Darker(fill, 0.3), true);
  const double o = s * 0.12, g = s * 0.76 - 2;
  switch (look) {
    case Look::NoLink:
      DrawQuestion(c, o, o, g, kWhite);
      break;
    case Look::Loop:
      DrawPadlock(c, o, o, g, true, kWhite, fill);
      break;
    default:
      DrawPadlock(c, o, o, g, false, kWhite, fill);
      break;
  }
  return Finish(c);
}

// --- District overview -----------------------------------------------------

vertamo::Image DistrictBackground(const std::vector<BuildingPlan>& buildings) {
  Canvas c(kMapWidth, kMapHeight, Rgb(0xD6, 0xDD, 0xD0));
  constexpr uint32_t kCourt = Rgb(0xCC, 0xD7, 0xC4);
  constexpr uint32_t kPath = Rgb(0xE6, 0xE4, 0xDB);
  // Courtyards of the four blocks, with a fence line.
  const Rect blocks[] = {{10, 10, 480, 330}, {554, 10, 476, 330}, {10, 404, 480, 250}, {554, 404, 476, 250}};
  for (const auto& b : blocks) {
    c.FillRoundRect(b.x, b.y, b.w, b.h, 10, kCourt);
    c.StrokeRoundRect(b.x, b.y, b.w, b.h, 10, 1, Rgb(0xB8, 0xC5, 0xB0));
  }
  // Inner paths of the northern blocks.
  c.FillRect(20, 196, 460, 14, kPath);
  c.FillRect(564, 196, 456, 14, kPath);
  c.FillRect(236, 20, 14, 190, kPath);
  c.FillRect(780, 20, 14, 190, kPath);

  // River along the south edge, with its embankment.
  c.FillRect(0, 700, kPanelX, 40, Rgb(0xCF, 0xD9, 0xC8));
  std::vector<Pt> river;
  for (int x = 0; x <= kPanelX; x += 20) river.push_back({double(x), 748 + 6 * std::sin(x / 70.0)});
  river.push_back({double(kPanelX), double(kMapHeight)});
  river.push_back({0, double(kMapHeight)});
  c.FillPolygon(river, Rgb(0xAC, 0xC5, 0xD5));
  std::vector<Pt> bank;
  for (int x = 0; x <= kPanelX; x += 20) bank.push_back({double(x), 748 + 6 * std::sin(x / 70.0)});
  c.StrokePolyline(bank, 2, Rgb(0x95, 0xAE, 0xBF));
  for (int x = 40; x < kPanelX - 60; x += 150) {
    c.StrokeArc(x, 778, 12, 1.5, 30, 150, Rgb(0xC2, 0xD6, 0xE2));
    c.StrokeArc(x + 70, 788, 10, 1.5, 30, 150, Rgb(0xC2, 0xD6, 0xE2));
  }
  c.Text(430, 770, "Р. СВЕТЛАЯ", 2, Rgb(0x6F, 0x8F, 0xA5));

  // Streets.
  DrawRoad(c, 0, 350, kPanelX, 44);  // Lesnaya street
  DrawRoad(c, 0, 664, kPanelX, 36);  // Sadovaya street
  DrawRoad(c, 500, 0, 44, 700);      // Builders' avenue
  c.FillRect(500, 352, 44, 40, Rgb(0xF0, 0xEF, 0xEA));
  c.FillRect(500, 666, 44, 32, Rgb(0xF0, 0xEF, 0xEA));
  DrawCrossing(c, 456, 350, 40, 44, true);
  DrawCrossing(c, 548, 350, 40, 44, true);
  DrawCrossing(c, 500, 306, 44, 40, false);
  DrawCrossing(c, 500, 400, 44, 40, false);

  // Trees in the courtyards and along the embankment.
  const double trees[][3] = {{262, 130, 12}, {280, 100, 10}, {470, 120, 9},  {40, 200, 9},   {460, 220, 10},
                             {806, 120, 12}, {790, 90, 9},   {1010, 200, 9}, {574, 200, 10}, {1012, 120, 9},
                             {30, 600, 12},  {70, 620, 14},  {120, 600, 11}, {160, 630, 12}, {420, 600, 12},
                             {460, 625, 11}, {24, 716, 9},   {130, 718, 10}, {240, 714, 9},  {360, 720, 10},
                             {620, 716, 9},  {740, 720, 10}, {860, 714, 9},  {980, 718, 10}, {800, 616, 10},
                             {1010, 614, 9}, {580, 612, 9}};
  for (const auto& t : trees) DrawTree(c, t[0], t[1], t[2]);
  // Playground in the south-west courtyard.
  c.FillRoundRect(210, 572, 130, 70, 20, Rgb(0xE3, 0xD8, 0xBC));
  c.StrokeRoundRect(210, 572, 130, 70, 20, 1.5, Rgb(0xC9, 0xBB, 0x98));
  c.StrokeCircle(250, 607, 14, 3, Rgb(0xC2, 0x9C, 0x74));
  c.FillRect(290, 592, 34, 4, Rgb(0xA8, 0x8F, 0x70));
  c.FillRect(290, 616, 34, 4, Rgb(0xA8, 0x8F, 0x70));
  // Parking in the south-east courtyard.
  c.FillRect(830, 596, 170, 50, Rgb(0xDF, 0xDF, 0xDA));
  for (int x = 830; x <= 1000; x += 24) c.FillRect(x, 596, 2, 22, kWhite);
  c.Text(835, 628, "P", 2, Rgb(0x5E, 0x7E, 0xA8));

  // Buildings.
  for (const auto& b : buildings) DrawBuilding(c, b);

  // Compass and scale bar over the embankment.
  c.FillCircle(990, 760, 18, WithAlpha(0xFFFFFF, 150));
  c.StrokeCircle(990, 760, 18, 1.5, Rgb(0x7D, 0x87, 0x92));
  c.FillPolygon({{990, 745}, {996, 762}, {990, 758}, {984, 762}}, Rgb(0xC0, 0x4A, 0x3F));
  c.TextCentered(990, 764, "С", 1, palette::kInk);
  c.FillRect(40, 780, 100, 3, palette::kInk);
  c.FillRect(40, 774, 2, 9, palette::kInk);
  c.FillRect(138, 774, 2, 9, palette::kInk);
  c.Text(150, 776, "100 М", 1, palette::kInk);

  DrawPanel(c);
  return c.Take();
}

// --- Lift hall ---------------------------------------------------------------------

vertamo::Image HallBackground(const std::string& building_sign) {
  Canvas c(kMapWidth, kMapHeight, Rgb(0xE4, 0xE0, 0xD8));
  // Ceiling with light panels.
  c.GradientRect(0, 0, kPanelX, 56, Rgb(0xC6, 0xC2, 0xBA), Rgb(0xD3, 0xCF, 0xC7));
  for (int x = 60; x < kPanelX - 100; x += 240) {
    c.FillRoundRect(x - 6, 14, 132, 24, 8, WithAlpha(0xFFFFF0, 60));
    c.FillRoundRect(x, 18, 120, 16, 5, Rgb(0xF6, 0xF4, 0xEA));
  }
  c.FillRect(0, 56, kPanelX, 4, Rgb(0xB9, 0xB4, 0xAA));
  // Wall with a faint panel rhythm and a darker dado below.
  c.GradientRect(0, 60, kPanelX, 420, Rgb(0xE6, 0xE2, 0xDA), Rgb(0xDD, 0xD8, 0xCE));
  c.GradientRect(0, 480, kPanelX, 112, Rgb(0xD2, 0xCC, 0xC1), Rgb(0xCA, 0xC4, 0xB8));
  c.FillRect(0, 478, kPanelX, 2, Rgb(0xBF, 0xB8, 0xAC));
  c.FillRect(0, 590, kPanelX, 10, Rgb(0x9F, 0x98, 0x8C));
  // Floor tiles.
  for (int row = 0; row * 32 + 600 < kMapHeight; ++row) {
    const int y = 600 + row * 32;
    for (int col = -1; col * 64 < kPanelX; ++col) {
      const int x = col * 64 + (row % 2) * 32;
      const bool dark = ((col + row) % 2) != 0;
      c.FillRect(x, y, 64, 32, dark ? Rgb(0xBB, 0xB4, 0xA8) : Rgb(0xC3, 0xBC, 0xB0));
      c.FillRect(x, y, 64, 1, Rgb(0xAD, 0xA6, 0x9A));
      c.FillRect(x, y, 1, 32, Rgb(0xAD, 0xA6, 0x9A));
    }
  }
  // Sign: the building and the floor.
  const int sign_w = 460;
  c.FillRoundRect(520 - sign_w / 2 + 3, 76, sign_w, 70, 6, WithAlpha(0x000000, 40));
  c.FillRoundRect(520 - sign_w / 2, 72, sign_w, 70, 6, Rgb(0x3B, 0x4A, 0x5A));
  c.TextCentered(520, 84, building_sign, 3, kWhite);
  c.TextCentered(520, 118, "ЛИФТОВОЙ ХОЛЛ · 1 ЭТАЖ", 2, Rgb(0xC9, 0xD3, 0xDD));

  for (int i = 0; i < kHallLifts; ++i) {
    const int cx = HallDoorCentreX(i);
    // Light on the floor in front of the doors.
    c.FillPolygon({{cx - 80.0, 600}, {cx + 80.0, 600}, {cx + 110.0, 800}, {cx - 110.0, 800}},
                  WithAlpha(0xFFFFFF, 28));
    // Portal frame.
    c.FillRect(cx - 92 + 4, kHallDoorTop - 14 + 4, 184, 600 - kHallDoorTop + 10, WithAlpha(0x000000, 30));
    c.FillRect(cx - 92, kHallDoorTop - 14, 184, 600 - kHallDoorTop + 14, Rgb(0x9C, 0xA3, 0xAB));
    c.StrokeRect(cx - 92, kHallDoorTop - 14, 184, 600 - kHallDoorTop + 14, 2, Rgb(0x7C, 0x84, 0x8D));
    // Door leaves.
    for (int leaf = 0; leaf < 2; ++leaf) {
      const int lx = leaf == 0 ? cx - 80 : cx + 1;
      for (int x = 0; x < 79; ++x) {
        const double t = static_cast<double>(x) / 78;
        const uint32_t col = Mix(Rgb(0xD3, 0xD8, 0xDD), Rgb(0xB2, 0xB9, 0xC1), leaf == 0 ? t : 1 - t);
        c.FillRect(lx + x, kHallDoorTop, 1, 600 - kHallDoorTop - 6, col);
      }
    }
    c.FillRect(cx - 1, kHallDoorTop, 2, 600 - kHallDoorTop - 6, Rgb(0x6F, 0x77, 0x80));
    c.FillRect(cx - 86, 594, 172, 6, Rgb(0x8C, 0x93, 0x9B));
    // Floor indicator above the doors.
    c.FillRoundRect(cx - 46, 172, 92, 46, 6, Rgb(0x2E, 0x38, 0x42));
    c.StrokeRoundRect(cx - 46, 172, 92, 46, 6, 2, Rgb(0x5B, 0x66, 0x71));
    c.Text(cx - 30, 181, "1", 4, Rgb(0xF2, 0xB1, 0x3C));
    c.FillPolygon({{cx + 20.0, 192}, {cx + 32.0, 180}, {cx + 44.0 - 0, 192}}, Rgb(0x6A, 0x5A, 0x3A));
    c.FillPolygon({{cx + 20.0, 198}, {cx + 44.0, 198}, {cx + 32.0, 210}}, Rgb(0x6A, 0x5A, 0x3A));
    // Number plate.
    const std::string plate = "ЛИФТ " + std::to_string(i + 1);
    c.FillRoundRect(cx - 30, 221, 60, 13, 3, Rgb(0xEE, 0xEE, 0xEA));
    c.TextCentered(cx, 224, plate, 1, Rgb(0x4A, 0x52, 0x5B));
    // Call buttons between the portals.
    const int px = cx + 125;
    c.FillRoundRect(px - 13 + 2, 392, 26, 66, 5, WithAlpha(0x000000, 35));
    c.FillRoundRect(px - 13, 390, 26, 66, 5, Rgb(0xB5, 0xBC, 0xC3));
    c.StrokeRoundRect(px - 13, 390, 26, 66, 5, 1.5, Rgb(0x86, 0x8E, 0x97));
    for (int k = 0; k < 2; ++k) {
      const double by = 408 + k * 30;
      c.FillCircle(px, by, 8, Rgb(0xE9, 0xEC, 0xEF));
      c.StrokeCircle(px, by, 8, 1.5, Rgb(0x7C, 0x84, 0x8D));
      if (k == 0) {
        c.FillPolygon({{px - 4.0, by + 2}, {px + 4.0, by + 2}, {double(px), by - 4}}, Rgb(0x55, 0x5E, 0x68));
      } else {
        c.FillPolygon({{px - 4.0, by - 2}, {px + 4.0, by - 2}, {double(px), by + 4}}, Rgb(0x55, 0x5E, 0x68));
      }
    }
  }
  DrawPanel(c);
  return c.Take();
}

// --- Machine room -------------------------------------------------------------------

vertamo::Image MachineRoomBackground() {
  Canvas c(kMapWidth, kMapHeight, Rgb(0xCD, 0xD1, 0xD4));
  const Rect in = RoomWalls();
  constexpr uint32_t kWall = Rgb(0x6E, 0x76, 0x80);
  constexpr int kWallT = 18;
  // Title above the room.
  c.Text(in.x, 26, "МАШИННОЕ ПОМЕЩЕНИЕ · УЛ. ЛЕСНАЯ, 12", 2, palette::kInk);
  // Walls and floor.
  c.FillRect(in.x - kWallT, in.y - kWallT, in.w + 2 * kWallT, in.h + 2 * kWallT, kWall);
  for (int k = -in.h; k < in.w + in.h; k += 14) {  // hatching of the cut walls
    c.Line(in.x - kWallT + k, in.y - kWallT, in.x - kWallT + k - 30, in.y - kWallT + 30, 1,
           WithAlpha(0xFFFFFF, 30));
  }
  c.FillRect(in.x, in.y, in.w, in.h, Rgb(0xD6, 0xD9, 0xD5));
  for (int x = in.x + 40; x < in.x + in.w; x += 40) c.FillRect(x, in.y, 1, in.h, Rgb(0xCC, 0xCF, 0xCA));
  for (int y = in.y + 40; y < in.y + in.h; y += 40) c.FillRect(in.x, y, in.w, 1, Rgb(0xCC, 0xCF, 0xCA));
  // Door in the left wall, with its swing, and a fire extinguisher beside it.
  const Rect door = RoomDoor();
  c.FillRect(door.x, door.y, door.w, door.h, Rgb(0xD6, 0xD9, 0xD5));
  c.Line(in.x, door.y, in.x + door.h, door.y, 4, Rgb(0x8A, 0x6E, 0x52));
  c.StrokeArc(in.x, door.y, door.h, 1.2, 270, 360, Rgb(0x8E, 0x96, 0x9F));
  c.Text(in.x + 8, door.y + door.h - 14, "ВХОД", 1, palette::kInk);
  c.FillRoundRect(in.x + 8, 600, 14, 26, 4, Rgb(0xC0, 0x45, 0x3B));
  c.FillRect(in.x + 11, 596, 8, 5, Rgb(0x4A, 0x50, 0x58));
  c.Text(in.x + 26, 608, "ОП", 1, palette::kInk);
  // Ceiling lamps (plan symbols) and the hoisting monorail.
  for (int k = 0; k < 3; ++k) {
    for (int row = 0; row < 2; ++row) {
      const double lx = 300 + k * 220, ly = row == 0 ? 160 : 470;
      c.StrokeCircle(lx, ly, 9, 1.5, Rgb(0x8E, 0x96, 0x9F));
      c.Line(lx - 6, ly - 6, lx + 6, ly + 6, 1.2, Rgb(0x8E, 0x96, 0x9F));
      c.Line(lx + 6, ly - 6, lx - 6, ly + 6, 1.2, Rgb(0x8E, 0x96, 0x9F));
    }
  }
  for (double x = in.x; x < in.x + in.w; x += 28) {
    c.Line(x, 212, std::min(x + 16.0, double(in.x + in.w)), 212, 3, Rgb(0xA0, 0x84, 0x55));
    c.FillCircle(x + 22, 212, 1.6, Rgb(0xA0, 0x84, 0x55));
  }
  c.Text(in.x + 10, 218, "МОНОРЕЛЬС Q=2 Т", 1, Rgb(0x7A, 0x62, 0x3A));
  // Ventilation grille in the top wall.
  c.FillRect(560, in.y - kWallT + 4, 90, kWallT - 8, Rgb(0x9A, 0xA2, 0xAB));
  for (int x = 564; x < 646; x += 6) c.FillRect(x, in.y - kWallT + 5, 2, kWallT - 10, Rgb(0x5B, 0x63, 0x6C));

  // Main switchboard.
  const Rect board = RoomBoard();
  c.FillRect(board.x + 4, board.y + 4, board.w, board.h, WithAlpha(0x000000, 40));
  c.FillRect(board.x, board.y, board.w, board.h, Rgb(0xB9, 0xC3, 0xCC));
  c.StrokeRect(board.x, board.y, board.w, board.h, 2, Rgb(0x76, 0x80, 0x8B));
  c.Text(board.x + 10, board.y + 10, "ВРУ", 2, palette::kInk);
  c.FillCircle(board.x + board.w - 16, board.y + 16, 5, Rgb(0x5F, 0xA8, 0x6C));

  // Hatch in the floor.
  const Rect hatch = RoomHatch();
  c.FillRect(hatch.x, hatch.y, hatch.w, hatch.h, Rgb(0xBE, 0xC3, 0xC7));
  c.StrokeRect(hatch.x, hatch.y, hatch.w, hatch.h, 3, Rgb(0x6B, 0x73, 0x7C));
  c.Line(hatch.x + 6, hatch.y + 6, hatch.x + hatch.w - 6, hatch.y + hatch.h - 6, 1.5, Rgb(0x8E, 0x96, 0x9F));
  c.Line(hatch.x + hatch.w - 6, hatch.y + 6, hatch.x + 6, hatch.y + hatch.h - 6, 1.5, Rgb(0x8E, 0x96, 0x9F));
  c.TextCentered(hatch.x + hatch.w / 2, hatch.y + hatch.h + 8, "ЛЮК", 2, palette::kInk);

  for (int i = 0; i < kHallLifts; ++i) {
    const int cx = MachineCentreX(i), cy = kMachineCentreY;
    // Cables from the controller to the machine.
    c.DashedLine(cx - 40, cy + 60, cx - 40, 560, 3, 10, 6, Rgb(0x5A, 0x63, 0x6D));
    // Machine frame, motor, gearbox, sheave.
    c.FillRoundRect(cx - 80 + 5, cy - 60 + 5, 160, 120, 6, WithAlpha(0x000000, 45));
    c.FillRoundRect(cx - 80, cy - 60, 160, 120, 6, Rgb(0x84, 0x90, 0x9C));
    c.StrokeRoundRect(cx - 80, cy - 60, 160, 120, 6, 2, Rgb(0x5E, 0x68, 0x73));
    c.FillRoundRect(cx - 72, cy - 42, 62, 84, 8, Rgb(0x5D, 0x78, 0x93));
    for (int k = 0; k < 5; ++k) {
      c.FillRect(cx - 66 + k * 11, cy - 38, 3, 76, Rgb(0x4D, 0x66, 0x7F));
    }
    c.FillRoundRect(cx - 10, cy - 32, 26, 64, 4, Rgb(0x9A, 0xA5, 0xB0));
    c.StrokeRoundRect(cx - 10, cy - 32, 26, 64, 4, 1.5, Rgb(0x6A, 0x74, 0x7F));
    c.FillCircle(cx + 46, cy, 32, Rgb(0xAE, 0xB7, 0xC0));
    c.StrokeCircle(cx + 46, cy, 31, 2.5, Rgb(0x64, 0x6E, 0x79));
    c.StrokeCircle(cx + 46, cy, 22, 1.5, Rgb(0x7D, 0x87, 0x92));
    c.FillCircle(cx + 46, cy, 8, Rgb(0x64, 0x6E, 0x79));
    // Ropes down the shaft.
    c.FillRect(cx + 34, cy + 64, 24, 10, Rgb(0x3A, 0x40, 0x47));
    for (int k = 0; k < 4; ++k)
      c.Line(cx + 37 + k * 6, cy + 26, cx + 37 + k * 6, cy + 68, 1.5, Rgb(0x3F, 0x46, 0x4E));
    const std::string label = "ЛЕБЁДКА " + std::to_string(i + 1);
    c.TextCentered(cx, cy + 86, label, 2, palette::kInk);

    // Controller cabinet.
    const int top = 560;
    c.FillRect(cx - 60 + 4, top + 4, 120, 80, WithAlpha(0x000000, 40));
    c.FillRect(cx - 60, top, 120, 80, Rgb(0xB6, 0xC0, 0xCA));
    c.StrokeRect(cx - 60, top, 120, 80, 2, Rgb(0x74, 0x7E, 0x89));
    c.FillRect(cx - 1, top + 4, 2, 72, Rgb(0x8C, 0x96, 0xA1));
    c.FillCircle(cx - 44, top + 14, 4, Rgb(0x5F, 0xA8, 0x6C));
    c.FillCircle(cx - 32, top + 14, 4, Rgb(0xE7, 0xC2, 0x6A));
    c.Text(cx + 10, top + 30, "ШУ-" + std::to_string(i + 1), 2, palette::kInk);
    c.FillRect(cx - 55, top + 92, 110, 34, Rgb(0x70, 0x77, 0x7F));
    for (int k = 0; k < 110; k += 8) c.FillRect(cx - 55 + k, top + 92, 3, 34, Rgb(0x7B, 0x82, 0x8A));
  }
  DrawPanel(c);
  return c.Take();
}

}  // namespace orvexsim::demo
