// What the simulated dispatch server serves: accounts, maps, objects, picture
// sets, texts, reports, call replies and the change feed.
//
// A scenario is built in memory (the demo, the synthetic catalogue, tests) or
// loaded from a folder holding a JSON file and PNG pictures (scenario_loader.h).
// Every text here is UTF-8; the server converts it to code page 1251 on the
// wire. Maps, objects and texts are numbered by their position in their vector,
// from 0, exactly as the client numbers them.
//
// This header is shared with the demo scenario and the tests: change it only by
// adding fields with defaults.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <vector>

#include "codec/png_codec.h"

namespace orvexsim {

// A login the server accepts. `reply` is the line sent after a good password;
// it must begin with "OK" for the workstation to accept it.
struct Account {
  std::string login;
  std::string password;
  std::string reply = "OK Full";
};

// One map. The background is optional: an empty image (width or height 0)
// means GETMAP sends PICT=0 and no picture is served.
struct MapDef {
  std::string name;           // NAME; also the client's cache file name
  vertamo::Image background;  // served by GETPICTMAP
  int transparent = 0;        // TRANSPARENT of GETPICTMAPCS
  bool HasPicture() const { return background.width > 0 && background.height > 0; }
};

// Layout line of one of the three counters (LIFTBREAK, OHRALR, PUERR of GETMAP).
struct CounterLayout {
  bool present = false;
  int x = 0, y = 0, w = 0, h = 0;
  std::string fontName = "Tahoma";
  int value = 0;  // initial VALUE; replaced by the derived count when Feed::deriveCounters
};

// Layout line of the clock (CLOCK of GETMAP).
struct ClockLayout {
  bool present = false;
  int x = 0, y = 0, w = 0, h = 0;
  std::string fontName = "Tahoma";
  int color = 0;             // 0x00BBGGRR
  int fontColor = 0xFFFFFF;  // 0x00BBGGRR
  int fontSize = 12;
  int transparent = 0, bold = 0, italic = 0;
};

// Layout line of the speaker symbol (SPEAKER of GETMAP).
struct SpeakerLayout {
  bool present = false;
  int x = 0, y = 0, w = 0, h = 0;
  int call = 0;  // initial CALL; derived from cabin calls when Feed::deriveCounters
};

struct Layout {
  CounterLayout liftBreak, ohrAlr, puErr;
  ClockLayout clock;
  SpeakerLayout speaker;
};

// What a state (a picture of a set) means to the counters, the reports, the
// speaker and the live generator.
enum class StateRole {
  Normal,         // in service
  LiftFault,      // counts for LIFTBREAK and its report
  LoopTriggered,  // security loop triggered: counts for OHRALR and its report
  IntercomFault,  // faulty intercom unit: counts for PUERR and its report
  CabinCall,      // a cabin calls the dispatcher: the speaker blinks (CALL=1)
  NoLink,         // no link with the object: counted nowhere
};

// One picture of a set.
struct PictureDef {
  vertamo::Image image;
  std::string state;  // what the state is called ("Неисправен"), for reports and LOG
  StateRole role = StateRole::Normal;
};

// A named picture set, served by GETPICTIML / GETPICTIMLCS. W and H on the wire
// are those of picture 0.
struct PictureSetDef {
  std::string name;     // an identifier (ASCII letter or "_", then letters, digits, "_")
  int transparent = 0;  // TRANSPARENT
  std::vector<PictureDef> pictures;
};

// The reply to "MOUSEDOWN OBJ=" for an object reachable through the voice gateway.
struct CallDef {
  std::string gateway = "127.0.0.1";   // KelmoGW
  int h323 = 0;                        // H323 (0: the default port)
  int com = 0;                         // COM: the gateway line
  int adr = 0;                         // ADR: the unit address on the line
  std::optional<int> pul;              // PUL: the cabin's intercom number
  std::optional<std::string> pulText;  // PULTEXT
  std::optional<int> pu;               // PU: the machine room's intercom number
  std::optional<std::string> puText;   // PUTEXT
};

// A map object: every key of GETMAPOBJ, plus what the server itself needs.
struct ObjectDef {
  int map = 0;                         // MAP
  int x = 0, y = 0;                    // X, Y
  std::string name;                    // NAME
  int type = 0;                        // TYPE
  std::string iml;                     // IML: name of a picture set of the scenario
  std::optional<int> pcount;           // PCOUNT; absent: the number of pictures of the set
  int idx = 0;                         // IDX: the state at start
  std::string hint;                    // HINT ("$" is a line break for the client)
  std::optional<int> capVisible;       // CAPVISIBLE
  std::optional<int> cx, cy;           // CX, CY
  std::optional<std::string> caption;  // CAPTION
  std::optional<int> capColor;         // CAPCOLOR
  std::string place;                   // address, for reports (T2) and LOG (T3); not on the wire
  std::optional<CallDef> call;         // absent: "MOUSEDOWN OBJ=" is answered without KelmoGW
  // A house drawn on an overview whose lifts are on maps of their own: the
  // object shows the state of the most urgent of these objects (their
  // numbers; a cabin's call first, then a fault, a loop, a lost link), by
  // picture index, so its picture set lists the same states in the same
  // order. Its own states count nowhere and take no live events.
  std::vector<int> summarises;
};

// A free text on a map: every key of GETTEXT. Optional keys are sent only when set.
struct TextDef {
  int map = 0;                          // MAP
  int x = 0, y = 0, w = 0, h = 0;       // X, Y, W, H
  std::string caption;                  // CAPTION
  std::optional<std::string> fontName;  // FONTNAME
  std::optional<std::string> videoTag;  // VIDEOTAG
  std::optional<int> transparent, visible, autoSize, wordWrap, bold, italic, underline, strikeOut;
  std::optional<int> alignment;  // ALIGNMENT
  std::optional<int> layout;     // LAYOUT
  std::optional<int> color;      // COLOR
  std::optional<int> fontColor;  // FONTCOLOR
  std::optional<int> fontSize;   // FONTSIZE
  std::optional<int> charset;    // CHARSET
  std::optional<int> pitch;      // PITCH
  std::optional<int> action;     // ACTION (1: link to map APARAM)
  std::optional<int> aparam;     // APARAM
};

// One row of a report (VIEW).
struct ReportRow {
  std::string t1, t2, t3;
  int obj = -1;
};

// A report of one counter ("MOUSEDOWN LIFTBREAK" / "OHRALR" / "PUERR").
// Without fixed rows the rows are the objects whose present state counts for
// the counter: T1 the object's name, T2 its place, T3 the name of its state.
struct ReportDef {
  std::array<std::string, 3> header;           // VIEWHEADER T1, T2, T3
  std::optional<std::vector<ReportRow>> rows;  // fixed rows instead of the derived ones
};

struct Reports {
  ReportDef liftBreak{{"Лифт", "Адрес", "Состояние"}, std::nullopt};
  ReportDef ohrAlr{{"Датчик", "Адрес", "Состояние"}, std::nullopt};
  ReportDef puErr{{"Переговорное устройство", "Адрес", "Состояние"}, std::nullopt};
};

// Lines the server sends to one connection at a given GETCHANGES of that
// connection (poll, counted from 1) or once the given number of seconds has
// passed since its login. Exactly one of `poll` and `second` is set. The lines
// are sent as they are (after conversion to code page 1251), before the END.
struct TimedLines {
  std::optional<int> poll;
  std::optional<double> second;
  std::vector<std::string> lines;
};

// One kind of event the live generator makes happen: an object goes into a
// state of `role` and, after a while, back to a normal state.
struct LiveEventKind {
  StateRole role = StateRole::LiftFault;
  double weight = 1.0;           // relative chance among the kinds
  std::vector<int> objectTypes;  // eligible TYPEs; empty: any object whose set has such a state
  double minDurationSec = 10, maxDurationSec = 60;  // how long until it ends; max 0: never ends
  std::string eventText;  // T4 of the LOG line when it starts ("Лифт неисправен")
  std::string endText;    // T4 of the LOG line when it ends ("Лифт исправен")
  std::string note;       // T5 of both LOG lines
  int color = 0x0000FF, fontColor = 0xFFFFFF;        // LOG colours when it starts (0x00BBGGRR)
  int endColor = 0x00FF00, endFontColor = 0x000000;  // LOG colours when it ends
  std::string wave;                                  // PLAY WAVE= when it starts; empty: no sound
  std::string endWave;                               // PLAY WAVE= when it ends; empty: no sound
  std::optional<std::string> hint;  // HINT while it lasts (the object's own hint comes back after)
};

// The seeded live generator: the shared district every connection watches.
struct LiveFeed {
  bool enabled = false;
  double eventsPerMinute = 6;  // mean rate of new events
  double pauseChance = 0.0;    // chance per generator second of a quiet spell
  double pauseMinSec = 5, pauseMaxSec = 20;
  std::vector<LiveEventKind> kinds;
};

struct Feed {
  // Counters and the speaker follow the objects: the server sends LIFTBREAK /
  // OHRALR / PUERR / SPEAKER lines whenever what a connection's objects show
  // changes, and GETMAP's VALUE / CALL are the counts of the moment.
  bool deriveCounters = true;
  std::vector<TimedLines> timeline;
  LiveFeed live;
  int floodLinesPerPoll = 0;  // flood mode: this many UPDATE lines in every GETCHANGES
};

// Where a fault applies: a step of the exchange.
enum class Step {
  Greeting,  // after "REMOTE", before the "Login:" prompt
  Login,     // the answer to the password
  GetMap,
  GetMapObj,
  GetPictMap,
  GetPictMapCs,
  GetPictIml,
  GetPictImlCs,
  GetText,
  GetChanges,
  MouseDown,  // "MOUSEDOWN OBJ="
  Report,     // "MOUSEDOWN LIFTBREAK" / "OHRALR" / "PUERR"
  Speak,      // "STARTSPEAK" / "ENDSPEAK"
};

enum class FaultKind {
  RefuseLogin,        // "Wrong login" whatever the password
  GarblePrompt,       // a CR before "Login:"
  Drop,               // close the connection instead of answering the step
  DropMidData,        // close in the middle of the step's first Base64 value
  DropMidReply,       // close after half of the step's reply lines
  Stall,              // answer nothing (the connection stays open)
  Drip,               // send the answer one byte at a time, `delayMs` between bytes
  Delay,              // wait `delayMs` before answering
  WrongRecordNumber,  // the step's record / reply number is one too high
  MissingKey,         // a required key of the step's first record is left out
  Base64WrongLength,  // the Base64 value loses its last character
  NotPng,             // the Base64 value is valid but its bytes are not a PNG
  BadChecksum,        // CS one more than the true sum
  Reload,             // a RELOAD line in the feed
  UpdateWithoutObj,   // an "UPDATE IDX=" line without OBJ in the feed
  OverlongLine,       // a line of `value` characters (default 3000) before the answer
  LowerCase,          // "ok Full" for the login, "end" to close lists
  LfBeforeCr,         // lines end with LF CR instead of CR LF
  ExtraLines,         // `value` (default 3) extra lines after the END / the one-line answer
  WrongPrefix,        // the first line of the answer starts with a wrong word
};

struct Fault {
  FaultKind kind = FaultKind::Drop;
  Step step = Step::Greeting;
  int connection = -1;  // 0-based number of the connection it applies to; -1: every connection
  int occurrence =
      -1;  // 0-based number of the step within the connection (e.g. the 3rd GETCHANGES: 2); -1: every one
  int delayMs = 0;
  int value = 0;
};

struct Scenario {
  std::string name;               // shown in logs
  std::vector<Account> accounts;  // empty: any login and password are accepted
  std::vector<MapDef> maps;
  Layout layout;
  std::vector<PictureSetDef> pictureSets;
  std::vector<ObjectDef> objects;
  std::vector<TextDef> texts;
  Reports reports;
  Feed feed;
  std::vector<Fault> faults;  // faults on purpose, for tests
};

// Checks that a scenario can be served: picture sets named by objects exist,
// are identifiers and hold pictures; states and map numbers are in range; texts
// hold no double quote or line break and fit the client's fields. On failure
// returns false and says what and where ("objects[3].iml: no picture set
// \"lift\"").
bool ValidateScenario(const Scenario& scenario, std::string* error);

// The demo district (tools/orvex-sim/demo_scenario.cpp).
Scenario BuildDemoScenario();

}  // namespace orvexsim
