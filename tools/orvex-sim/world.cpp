#include "tools/orvex-sim/world.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "platform/cp1251.h"
#include "tools/orvex-sim/wire.h"

namespace orvexsim {

namespace {

// The feed log keeps at most this many lines; a connection that has not polled
// for that long is told to reload.
constexpr size_t kMaxLogLines = 200000;

uint64_t SplitMix(uint64_t& x) {
  uint64_t z = (x += 0x9E3779B97F4A7C15ull);
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
  return z ^ (z >> 31);
}

uint64_t Rotl(uint64_t x, int k) { return (x << k) | (x >> (64 - k)); }

const std::string kEmpty;

}  // namespace

Rng::Rng(uint64_t seed) {
  for (auto& s : s_) s = SplitMix(seed);
}

uint64_t Rng::Next() {
  const uint64_t result = Rotl(s_[1] * 5, 7) * 9;
  const uint64_t t = s_[1] << 17;
  s_[2] ^= s_[0];
  s_[3] ^= s_[1];
  s_[1] ^= s_[2];
  s_[0] ^= s_[3];
  s_[2] ^= t;
  s_[3] = Rotl(s_[3], 45);
  return result;
}

double Rng::Uniform() { return static_cast<double>(Next() >> 11) * 0x1.0p-53; }

int Rng::Below(int n) { return n <= 1 ? 0 : static_cast<int>(Next() % static_cast<uint64_t>(n)); }

double Rng::Between(double a, double b) { return a + (b - a) * Uniform(); }

// ---- Catalog ------------------------------------------------------------------

Catalog::Catalog(std::shared_ptr<const Scenario> scenario) : scenario_(std::move(scenario)) {
  for (size_t i = 0; i < scenario_->pictureSets.size(); ++i)
    setIndex_.emplace(scenario_->pictureSets[i].name, static_cast<int>(i));
  sets_.reserve(scenario_->objects.size());
  pcounts_.reserve(scenario_->objects.size());
  for (const ObjectDef& o : scenario_->objects) {
    int set = SetIndex(o.iml);
    sets_.push_back(set);
    int size = set < 0 ? 0 : static_cast<int>(scenario_->pictureSets[set].pictures.size());
    pcounts_.push_back(o.pcount.value_or(size));
  }
}

int Catalog::SetIndex(const std::string& name) const {
  auto it = setIndex_.find(name);
  return it == setIndex_.end() ? -1 : it->second;
}

StateRole Catalog::RoleOf(int obj, int idx) const {
  int set = sets_[obj];
  if (set < 0 || idx < 0 || idx >= pcounts_[obj]) return StateRole::Normal;
  const auto& pictures = scenario_->pictureSets[set].pictures;
  return idx < static_cast<int>(pictures.size()) ? pictures[idx].role : StateRole::Normal;
}

const std::string& Catalog::StateName(int obj, int idx) const {
  int set = sets_[obj];
  if (set < 0 || idx < 0 || idx >= pcounts_[obj]) return kEmpty;
  const auto& pictures = scenario_->pictureSets[set].pictures;
  return idx < static_cast<int>(pictures.size()) ? pictures[idx].state : kEmpty;
}

int Catalog::IndexOfRole(int obj, StateRole role) const {
  int set = sets_[obj];
  if (set < 0) return -1;
  const auto& pictures = scenario_->pictureSets[set].pictures;
  for (int j = 0; j < pcounts_[obj] && j < static_cast<int>(pictures.size()); ++j)
    if (pictures[j].role == role) return j;
  return -1;
}

int Catalog::NormalIndex(int obj) const {
  int start = scenario_->objects[obj].idx;
  if (RoleOf(obj, start) == StateRole::Normal) return start;
  int j = IndexOfRole(obj, StateRole::Normal);
  return j < 0 ? 0 : j;
}

// ---- View -----------------------------------------------------------------------

View::View(const Catalog* catalog) : catalog_(catalog) {
  if (!catalog) return;
  const Scenario& s = catalog->scenario();
  objects_.reserve(s.objects.size());
  for (const ObjectDef& o : s.objects) {
    ObjectState state;
    state.idx = o.idx;
    state.hint = vertamo::Utf8ToCp1251(o.hint);
    if (o.caption) state.caption = vertamo::Utf8ToCp1251(*o.caption);
    state.capColor = o.capColor;
    objects_.push_back(std::move(state));
  }
}

bool View::ApplyLine(std::string_view line) {
  if (!StartsWithWord(line, "UPDATE")) return false;
  auto obj = FindIntKey(line, " OBJ=");
  if (!obj || *obj < 0 || *obj >= ObjectCount()) return false;
  ObjectState& o = objects_[*obj];
  bool changed = false;
  if (auto idx = FindIntKey(line, " IDX=")) {
    changed |= o.idx != *idx;
    o.idx = *idx;
  }
  if (auto hint = FindQuotedKey(line, " HINT=")) {
    changed |= o.hint != *hint;
    o.hint = std::move(*hint);
  }
  if (auto caption = FindQuotedKey(line, " CAPTION=")) {
    changed |= o.caption != *caption;
    o.caption = std::move(*caption);
  }
  if (auto color = FindIntKey(line, " CAPCOLOR="); color && *color != -1) {
    changed |= o.capColor != *color;
    o.capColor = *color;
  }
  return changed;
}

Counts View::Derive() const {
  Counts counts;
  for (int i = 0; i < ObjectCount(); ++i) {
    switch (RoleOf(i)) {
      case StateRole::LiftFault:
        ++counts.liftBreak;
        break;
      case StateRole::LoopTriggered:
        ++counts.ohrAlr;
        break;
      case StateRole::IntercomFault:
        ++counts.puErr;
        break;
      case StateRole::CabinCall:
        counts.speaker = 1;
        break;
      default:
        break;
    }
  }
  return counts;
}

std::vector<int> View::ObjectsWithRole(StateRole role) const {
  std::vector<int> out;
  for (int i = 0; i < ObjectCount(); ++i)
    if (RoleOf(i) == role) out.push_back(i);
  return out;
}

void CounterLines(const Counts& now, Counts* told, std::vector<std::string>* out) {
  if (now.liftBreak != told->liftBreak) out->push_back("LIFTBREAK VALUE=" + std::to_string(now.liftBreak));
  if (now.ohrAlr != told->ohrAlr) out->push_back("OHRALR VALUE=" + std::to_string(now.ohrAlr));
  if (now.puErr != told->puErr) out->push_back("PUERR VALUE=" + std::to_string(now.puErr));
  if (now.speaker != told->speaker) out->push_back("SPEAKER CALL=" + std::to_string(now.speaker));
  *told = now;
}

void NoteCounterLine(std::string_view line, Counts* told) {
  auto value = FindIntKey(line, " VALUE=");
  if (StartsWithWord(line, "LIFTBREAK")) {
    if (value) told->liftBreak = *value;
  } else if (StartsWithWord(line, "OHRALR")) {
    if (value) told->ohrAlr = *value;
  } else if (StartsWithWord(line, "PUERR")) {
    if (value) told->puErr = *value;
  } else if (StartsWithWord(line, "SPEAKER")) {
    if (auto call = FindIntKey(line, " CALL=")) told->speaker = *call;
  }
}

// ---- World ----------------------------------------------------------------------

World::World(std::shared_ptr<const Catalog> catalog, uint64_t seed, Clock clock)
    : catalog_(std::move(catalog)), clock_(std::move(clock)), view_(catalog_.get()), rng_(seed) {
  const Scenario& s = catalog_->scenario();
  for (const LiveEventKind& kind : s.feed.live.kinds) {
    std::vector<int> objects;
    for (int i = 0; i < catalog_->ObjectCount(); ++i) {
      if (!kind.objectTypes.empty()) {
        bool typeMatches = false;
        for (int t : kind.objectTypes) typeMatches |= t == s.objects[i].type;
        if (!typeMatches) continue;
      }
      if (catalog_->IndexOfRole(i, kind.role) >= 0) objects.push_back(i);
    }
    eligible_.push_back(std::move(objects));
  }
  for (int i = 0; i < catalog_->ObjectCount(); ++i)
    for (int shown : s.objects[i].summarises) summaries_[shown].push_back(i);
}

namespace {

// The most urgent first: a passenger waiting in a cabin comes before anything.
int Urgency(StateRole role) {
  switch (role) {
    case StateRole::CabinCall: return 5;
    case StateRole::LiftFault: return 4;
    case StateRole::LoopTriggered: return 3;
    case StateRole::IntercomFault: return 2;
    case StateRole::NoLink: return 1;
    default: return 0;
  }
}

}  // namespace

std::vector<std::string> World::SummaryLinesLocked(int obj) const {
  std::vector<std::string> lines;
  const auto it = summaries_.find(obj);
  if (it == summaries_.end()) return lines;
  const Scenario& s = catalog_->scenario();
  for (int summary : it->second) {
    int worst = -1;
    for (int shown : s.objects[summary].summarises)
      if (worst < 0 || Urgency(view_.RoleOf(shown)) > Urgency(view_.RoleOf(worst))) worst = shown;
    if (worst < 0) continue;
    const int idx = view_.Object(worst).idx;
    if (idx == view_.Object(summary).idx) continue;
    std::string hint = s.objects[summary].hint;
    if (Urgency(view_.RoleOf(worst)) > 0)
      hint += "$" + s.objects[worst].name + ": " + catalog_->StateName(worst, idx);
    lines.push_back("UPDATE" + IntItem("OBJ", summary) + IntItem("IDX", idx) + TextItem("HINT", hint));
  }
  return lines;
}

void World::Subscribe(View* view, uint64_t* cursor) const {
  std::lock_guard lock(mutex_);
  *view = view_;
  *cursor = logBase_ + log_.size();
}

bool World::LinesSince(uint64_t* cursor, std::vector<std::string>* out) const {
  std::lock_guard lock(mutex_);
  const uint64_t end = logBase_ + log_.size();
  if (*cursor < logBase_) {
    *cursor = end;
    return false;
  }
  for (uint64_t i = *cursor; i < end; ++i) out->push_back(log_[i - logBase_]);
  *cursor = end;
  return true;
}

void World::AppendLocked(std::vector<std::string> lines) {
  for (auto& line : lines) {
    view_.ApplyLine(line);
    log_.push_back(std::move(line));
  }
  if (log_.size() > kMaxLogLines) {
    size_t drop = log_.size() - kMaxLogLines / 2;
    log_.erase(log_.begin(), log_.begin() + static_cast<std::ptrdiff_t>(drop));
    logBase_ += drop;
  }
}

void World::Broadcast(const std::vector<std::string>& lines) {
  std::lock_guard lock(mutex_);
  AppendLocked(lines);
}

std::string World::LogLine(int obj, int color, int fontColor, const std::string& event,
                           const std::string& note) {
  std::time_t now = clock_ ? clock_() : std::time(nullptr);
  std::tm tm{};
  localtime_r(&now, &tm);
  char date[32], time[32];
  std::snprintf(date, sizeof date, "%02d.%02d.%04d", tm.tm_mday, tm.tm_mon + 1, tm.tm_year + 1900);
  std::snprintf(time, sizeof time, "%02d:%02d:%02d", tm.tm_hour, tm.tm_min, tm.tm_sec);
  const ObjectDef& o = catalog_->scenario().objects[obj];
  std::string line = "LOG";
  line += IntItem("OBJ", obj);
  line += IntItem("COLOR", color);
  line += IntItem("FONTCOLOR", fontColor);
  line += TextItem("T0", date);
  line += TextItem("T1", time);
  line += TextItem("T2", o.name);
  line += TextItem("T3", o.place);
  line += TextItem("T4", event);
  line += TextItem("T5", note);
  return line;
}

void World::StartEventLocked(int kindIndex) {
  const LiveEventKind& kind = catalog_->scenario().feed.live.kinds[kindIndex];
  std::vector<int> candidates;
  for (int obj : eligible_[kindIndex])
    if (!active_.count(obj) && view_.RoleOf(obj) == StateRole::Normal) candidates.push_back(obj);
  if (candidates.empty()) return;
  const int obj = candidates[rng_.Below(static_cast<int>(candidates.size()))];
  Active active;
  active.kind = kindIndex;
  if (kind.maxDurationSec > 0)
    active.endAt =
        second_ + std::max<int64_t>(1, std::llround(rng_.Between(kind.minDurationSec, kind.maxDurationSec)));
  active_[obj] = active;
  ++eventsStarted_;
  std::string update = "UPDATE" + IntItem("OBJ", obj) + IntItem("IDX", catalog_->IndexOfRole(obj, kind.role));
  // The hint of a state is sent as the scenario words it, naming neither the
  // object nor its house, as a dispatch server sends it: the workstation names
  // them from the object's own hint.
  if (kind.hint) update += TextItem("HINT", *kind.hint);
  std::vector<std::string> lines{std::move(update),
                                 LogLine(obj, kind.color, kind.fontColor, kind.eventText, kind.note)};
  if (!kind.wave.empty()) lines.push_back("PLAY" + TextItem("WAVE", kind.wave));
  AppendLocked(std::move(lines));
  AppendLocked(SummaryLinesLocked(obj));
}

void World::EndEventLocked(int obj, const Active& active) {
  const LiveEventKind& kind = catalog_->scenario().feed.live.kinds[active.kind];
  std::string update = "UPDATE" + IntItem("OBJ", obj) + IntItem("IDX", catalog_->NormalIndex(obj));
  if (kind.hint) update += TextItem("HINT", catalog_->scenario().objects[obj].hint);
  std::vector<std::string> lines{std::move(update),
                                 LogLine(obj, kind.endColor, kind.endFontColor, kind.endText, kind.note)};
  if (!kind.endWave.empty()) lines.push_back("PLAY" + TextItem("WAVE", kind.endWave));
  AppendLocked(std::move(lines));
  AppendLocked(SummaryLinesLocked(obj));
}

void World::Tick() {
  std::lock_guard lock(mutex_);
  ++second_;
  for (auto it = active_.begin(); it != active_.end();) {
    if (it->second.endAt >= 0 && it->second.endAt <= second_) {
      Active ended = it->second;
      int obj = it->first;
      it = active_.erase(it);
      EndEventLocked(obj, ended);
    } else {
      ++it;
    }
  }
  const LiveFeed& live = catalog_->scenario().feed.live;
  if (!live.enabled || live.kinds.empty()) return;
  if (second_ < pausedUntil_) return;
  if (live.pauseChance > 0 && rng_.Uniform() < live.pauseChance) {
    pausedUntil_ =
        second_ + std::max<int64_t>(1, std::llround(rng_.Between(live.pauseMinSec, live.pauseMaxSec)));
    return;
  }
  const double rate = live.eventsPerMinute / 60.0;
  int events = static_cast<int>(std::floor(rate));
  if (rng_.Uniform() < rate - std::floor(rate)) ++events;
  double total = 0;
  for (const auto& kind : live.kinds) total += kind.weight;
  if (total <= 0) return;
  for (int e = 0; e < events; ++e) {
    double pick = rng_.Uniform() * total;
    int chosen = 0;
    for (size_t k = 0; k < live.kinds.size(); ++k) {
      chosen = static_cast<int>(k);
      if (pick < live.kinds[k].weight) break;
      pick -= live.kinds[k].weight;
    }
    StartEventLocked(chosen);
  }
}

void World::AnswerCall(int obj) {
  std::lock_guard lock(mutex_);
  auto it = active_.find(obj);
  if (it == active_.end()) return;
  if (catalog_->scenario().feed.live.kinds[it->second.kind].role != StateRole::CabinCall) return;
  Active ended = it->second;
  active_.erase(it);
  EndEventLocked(obj, ended);
}

Counts World::CountsNow() const {
  std::lock_guard lock(mutex_);
  return view_.Derive();
}

View World::Snapshot() const {
  std::lock_guard lock(mutex_);
  return view_;
}

int64_t World::Seconds() const {
  std::lock_guard lock(mutex_);
  return second_;
}

int64_t World::EventsStarted() const {
  std::lock_guard lock(mutex_);
  return eventsStarted_;
}

}  // namespace orvexsim
