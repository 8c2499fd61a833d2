// The state of the simulated district.
//
// `Catalog` indexes a scenario once (which set each object is drawn from, what
// each state means). `View` is what one connection's objects show: it starts as
// a copy of the world at login and changes only through the feed lines that
// connection is sent, so the counters and reports it is given always agree with
// what its client draws. `World` is the shared district: the live generator
// changes it and appends its lines to a feed log that every connection reads
// from its own position.
#pragma once

#include <cstdint>
#include <ctime>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "tools/orvex-sim/scenario.h"

namespace orvexsim {

// A small deterministic generator (xoshiro256**), the same on every platform.
class Rng {
 public:
  explicit Rng(uint64_t seed);
  uint64_t Next();
  double Uniform();  // [0, 1)
  int Below(int n);  // [0, n), n > 0
  double Between(double a, double b);

 private:
  uint64_t s_[4];
};

class Catalog {
 public:
  explicit Catalog(std::shared_ptr<const Scenario> scenario);

  const Scenario& scenario() const { return *scenario_; }
  int ObjectCount() const { return static_cast<int>(sets_.size()); }
  // Index in scenario().pictureSets of the object's set, or -1.
  int SetOf(int obj) const { return sets_[obj]; }
  // PCOUNT of the object: its override or the size of its set (0 without a set).
  int PCount(int obj) const { return pcounts_[obj]; }
  StateRole RoleOf(int obj, int idx) const;
  // Name of the state (for reports), empty when unknown.
  const std::string& StateName(int obj, int idx) const;
  // First picture of the object's set with the role, or -1.
  int IndexOfRole(int obj, StateRole role) const;
  // The state an object returns to after an event: its starting state when
  // that is normal, else the first normal picture, else 0.
  int NormalIndex(int obj) const;
  int SetIndex(const std::string& name) const;

 private:
  std::shared_ptr<const Scenario> scenario_;
  std::vector<int> sets_;
  std::vector<int> pcounts_;
  std::map<std::string, int> setIndex_;
};

struct Counts {
  int liftBreak = 0;
  int ohrAlr = 0;
  int puErr = 0;
  int speaker = 0;  // 1 while any cabin calls
  bool operator==(const Counts&) const = default;
};

struct ObjectState {
  int idx = 0;
  std::string hint;                    // code page 1251, "$" kept as sent
  std::optional<std::string> caption;  // code page 1251
  std::optional<int> capColor;
};

class View {
 public:
  // Without a catalogue (null) the view holds no objects.
  explicit View(const Catalog* catalog);
  View(const View&) = default;
  View& operator=(const View&) = default;

  const ObjectState& Object(int obj) const { return objects_[obj]; }
  int ObjectCount() const { return static_cast<int>(objects_.size()); }
  // Applies one feed line (code page 1251): UPDATE lines change objects; other
  // lines change nothing here. Returns true when the line changed an object.
  bool ApplyLine(std::string_view line);
  Counts Derive() const;
  // Objects whose present state has `role`, in list order.
  std::vector<int> ObjectsWithRole(StateRole role) const;
  StateRole RoleOf(int obj) const { return catalog_->RoleOf(obj, objects_[obj].idx); }

 private:
  const Catalog* catalog_;
  std::vector<ObjectState> objects_;
};

// Date and time written into LOG lines.
using Clock = std::function<std::time_t()>;

class World {
 public:
  World(std::shared_ptr<const Catalog> catalog, uint64_t seed, Clock clock);

  // A new connection: a copy of the objects of the moment and the feed position
  // from which it will read.
  void Subscribe(View* view, uint64_t* cursor) const;
  // Feed lines (code page 1251) from `cursor` on; advances it. False when the
  // connection fell so far behind that the lines it missed are gone (it should
  // be told to reload); the cursor then moves to the present.
  bool LinesSince(uint64_t* cursor, std::vector<std::string>* out) const;
  // Lines (code page 1251) every connection will be sent; UPDATE lines change
  // the world.
  void Broadcast(const std::vector<std::string>& lines);
  // One second of the live generator.
  void Tick();
  // The dispatcher answered a call of this object: a cabin call ends now.
  void AnswerCall(int obj);
  Counts CountsNow() const;
  View Snapshot() const;
  // Seconds the generator has run, and events it started.
  int64_t Seconds() const;
  int64_t EventsStarted() const;

 private:
  struct Active {
    int kind = 0;
    int64_t endAt = -1;  // generator second; -1: never
  };

  void AppendLocked(std::vector<std::string> lines);
  void StartEventLocked(int kind);
  void EndEventLocked(int obj, const Active& active);
  std::string LogLine(int obj, int color, int fontColor, const std::string& event, const std::string& note);

  std::shared_ptr<const Catalog> catalog_;
  Clock clock_;
  mutable std::mutex mutex_;
  View view_;
  Rng rng_;
  std::deque<std::string> log_;
  uint64_t logBase_ = 0;  // sequence number of log_.front()
  int64_t second_ = 0;
  int64_t pausedUntil_ = 0;
  int64_t eventsStarted_ = 0;
  std::map<int, Active> active_;
  std::vector<std::vector<int>> eligible_;  // per kind: objects that can show its role
  std::map<int, std::vector<int>> summaries_;  // object -> the summaries that show it
  // UPDATE lines of the summaries that show `obj`, where their state changed.
  std::vector<std::string> SummaryLinesLocked(int obj) const;
};

// The counter and speaker lines that bring `told` to `now`, and `told` updated.
void CounterLines(const Counts& now, Counts* told, std::vector<std::string>* out);
// Notes what a counter or speaker line (LIFTBREAK / OHRALR / PUERR VALUE=,
// SPEAKER CALL=) told the client.
void NoteCounterLine(std::string_view line, Counts* told);

}  // namespace orvexsim
