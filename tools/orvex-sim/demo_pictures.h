// Artwork of the demo district, drawn by code: the state pictures of lifts,
// intercom units and loop sensors, and the backgrounds of the three maps.
//
// The maps share one frame: the district, hall or room on the left and, on the
// right, a quiet column that holds the counters, the clock and the speaker
// (the workstation shows them on whichever map is open) and a legend of the
// state colours. The places where the scenario puts objects are given here
// too, so that the pictures and the objects always agree.
#pragma once

#include <string>
#include <vector>

#include "codec/png_codec.h"
#include "tools/orvex-sim/demo_art.h"

namespace orvexsim::demo {

// Size of every map background.
inline constexpr int kMapWidth = 1280;
inline constexpr int kMapHeight = 800;
// The right column: counters, clock, speaker, legend.
inline constexpr int kPanelX = 1040;
inline constexpr int kPanelInnerX = kPanelX + 12;
inline constexpr int kPanelInnerW = kMapWidth - kPanelInnerX - 12;

struct Rect {
  int x = 0, y = 0, w = 0, h = 0;
};

// Where the workstation's widgets sit in the right column.
Rect ClockBox();
Rect CounterBox(int i);  // 0 faulty lifts, 1 triggered loops, 2 faulty intercom units
Rect SpeakerBox();       // 130 × 130

// State colours: calm tones that stay apart for a dispatcher watching all day.
namespace palette {
inline constexpr uint32_t kInService = art::Rgb(0x3E, 0x9B, 0x55);
inline constexpr uint32_t kFault = art::Rgb(0xD1, 0x45, 0x3B);
inline constexpr uint32_t kLoop = art::Rgb(0xE0, 0x98, 0x1F);
inline constexpr uint32_t kCabinCall = art::Rgb(0x2F, 0x74, 0xC0);
inline constexpr uint32_t kNoLink = art::Rgb(0x8A, 0x91, 0x9A);
inline constexpr uint32_t kInk = art::Rgb(0x33, 0x3A, 0x42);    // labels
inline constexpr uint32_t kPanel = art::Rgb(0xD3, 0xD8, 0xDE);  // right column
}  // namespace palette

// What a state picture shows.
enum class Look { InService, Fault, Loop, CabinCall, NoLink };

// State pictures on a transparent ground (the bottom-left pixel is always
// transparent, as the workstation's picture masks expect).
// A lift: a rounded square; ▲▼ in service, "!" fault, an open padlock for a
// triggered loop, a speech bubble for a cabin call, "?" without link.
vertamo::Image LiftPicture(Look look, int size);
// An intercom unit: a disc with a loudspeaker, "!" or "?".
vertamo::Image IntercomPicture(Look look, int size);
// A security loop sensor: a diamond with a closed padlock, an open one, or "?".
vertamo::Image SensorPicture(Look look, int size);

// --- The district overview -------------------------------------------------

struct BuildingPlan {
  int x = 0, y = 0, w = 0, h = 0;  // footprint
  std::string number;              // house number drawn on the roof
  int entrances = 1;               // porches along the lower side
  int floors = 9;                  // drawn as a small roof note ("9 ЭТ")
  bool liftsOnMap = true;          // false: the lifts are shown on the building's own maps
};

inline constexpr int kDistrictLiftSize = 28;
inline constexpr int kIntercomSize = 24;
inline constexpr int kSensorSize = 22;

// The lift machine room on the roof of a building: its intercom unit and its
// door loop are placed inside it.
Rect RoofRoom(const BuildingPlan& b);
// Top-left corner of the picture of lift `k` (0 or 1) of entrance `e`.
int DistrictLiftX(const BuildingPlan& b, int e, int k, int lifts_per_entrance);
int DistrictLiftY(const BuildingPlan& b);

vertamo::Image DistrictBackground(const std::vector<BuildingPlan>& buildings);

// --- The lift hall of one building -----------------------------------------

inline constexpr int kHallLifts = 4;
inline constexpr int kHallLiftSize = 56;
// Centre of the landing doors of lift i.
int HallDoorCentreX(int i);
inline constexpr int kHallDoorTop = 250;
inline constexpr int kHallFloorY = 600;

vertamo::Image HallBackground(const std::string& building_sign);

// --- The machine room above the hall ---------------------------------------

// Centre of the hoisting machine of lift i.
int MachineCentreX(int i);
inline constexpr int kMachineCentreY = 290;
Rect RoomWalls();  // inner edge of the walls
Rect RoomDoor();   // the door gap in the left wall
Rect RoomHatch();  // the hatch in the floor
Rect RoomBoard();  // the main switchboard

vertamo::Image MachineRoomBackground();

}  // namespace orvexsim::demo
