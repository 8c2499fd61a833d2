// The simulated server's replies, built without any socket: given the
// scenario, the state of the district and a request, the lines of the answer
// (code page 1251, without line ends). The faults that change what a reply
// says (a wrong record number, a missing key, a bad checksum ...) are applied
// here; the ones that change how it travels (a drop, a stall, a delay, extra
// or overlong lines, other line ends) are applied by the server as it sends.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "tools/orvex-sim/pictures.h"
#include "tools/orvex-sim/scenario.h"
#include "tools/orvex-sim/wire.h"
#include "tools/orvex-sim/world.h"

namespace orvexsim {

// The faults that apply to one step of one connection.
class ActiveFaults {
 public:
  ActiveFaults() = default;
  explicit ActiveFaults(std::vector<Fault> faults) : faults_(std::move(faults)) {}
  const Fault* Find(FaultKind kind) const {
    for (const Fault& f : faults_)
      if (f.kind == kind) return &f;
    return nullptr;
  }
  bool Has(FaultKind kind) const { return Find(kind) != nullptr; }
  // `value` of the fault, or `otherwise` when it is not above 0.
  int Value(FaultKind kind, int otherwise) const {
    const Fault* f = Find(kind);
    return f && f->value > 0 ? f->value : otherwise;
  }

 private:
  std::vector<Fault> faults_;
};

// "END", or "end" with a LowerCase fault: the last line of a list.
std::string EndWord(const ActiveFaults& f);

// What one connection's feed has told its client, from one GETCHANGES to the
// next.
struct FeedState {
  explicit FeedState(const Catalog* catalog) : view(catalog) {}
  View view;                       // what the connection's objects show
  Counts told;                     // the counters and the speaker as last sent
  int polls = 0;                   // GETCHANGES answered
  std::vector<bool> timelineDone;  // the scenario's timeline entries sent
  int floodNext = 0;               // the object the next flood line changes
};

// Counter values as GETMAP gives them: derived from `view`, or the layout's own.
Counts LayoutCounts(const Scenario& s, const View& view);

// GETMAP: the maps, then the layout of the counters (with `counts`), the
// clock and the speaker.
std::vector<std::string> GetMapReply(const Scenario& s, const Counts& counts, const ActiveFaults& f);
// GETMAPOBJ: every object as `view` shows it.
std::vector<std::string> GetMapObjReply(const Catalog& catalog, const View& view, const ActiveFaults& f);
// GETTEXT.
std::vector<std::string> GetTextReply(const Scenario& s, const ActiveFaults& f);
// GETPICTMAP MAP= (the picture) or GETPICTMAPCS MAP= (`checksum`: its CS).
std::vector<std::string> GetPictMapReply(const Scenario& s, PictureCache& pictures, int map, bool checksum,
                                         const ActiveFaults& f);
// GETPICTIML OBJ= (the object's pictures) or GETPICTIMLCS OBJ= (`checksum`).
std::vector<std::string> GetPictImlReply(const Catalog& catalog, PictureCache& pictures, int obj,
                                         bool checksum, const ActiveFaults& f);
// GETCHANGES: `world` (the district's lines since the last poll, or a lone
// RELOAD), the scenario's timeline as far as `secondsSinceLogin` and the poll
// count reach, `floodLines` flood lines, the counters that changed, END. Every
// line is applied to `feed`.
std::vector<std::string> GetChangesReply(const Catalog& catalog, int floodLines,
                                         std::vector<std::string> world, double secondsSinceLogin,
                                         FeedState& feed, const ActiveFaults& f);
// MOUSEDOWN OBJ=: the object's type and call.
std::vector<std::string> MouseDownReply(const Scenario& s, int obj, const ActiveFaults& f);
// MOUSEDOWN LIFTBREAK / OHRALR / PUERR: the report, its fixed rows or the
// objects `view` shows in the state of its counter.
std::vector<std::string> ReportReply(const Catalog& catalog, const View& view, ReportKind kind,
                                     const ActiveFaults& f);

}  // namespace orvexsim
