// Checks that a scenario can be served as it stands.
#include <set>
#include <string>

#include "platform/cp1251.h"
#include "tools/orvex-sim/scenario.h"

namespace orvexsim {

namespace {

// The longest text value the workstation reads from a line.
constexpr size_t kMaxText = 255;
// The longest line the workstation reads.
constexpr size_t kMaxLine = 2047;

class Checker {
 public:
  explicit Checker(std::string* error) : error_(error) {}

  bool Fail(const std::string& place, const std::string& what) {
    if (error_) *error_ = place + ": " + what;
    return false;
  }

  // A text for a quoted value: code page 1251 can hold it, no double quote, no
  // line break, at most `max` bytes on the wire.
  bool Text(const std::string& place, const std::string& utf8, size_t max = kMaxText) {
    std::string cp = vertamo::Utf8ToCp1251(utf8);
    if (vertamo::Cp1251ToUtf8(cp) != utf8)
      return Fail(place, "text \"" + utf8 + "\" holds characters code page 1251 cannot carry");
    if (cp.find('"') != std::string::npos) return Fail(place, "a text value cannot hold a double quote");
    if (cp.find_first_of(std::string("\r\n\0", 3)) != std::string::npos)
      return Fail(place, "a text value cannot hold a line break");
    if (cp.size() > max)
      return Fail(place, "text of " + std::to_string(cp.size()) + " characters, at most " +
                             std::to_string(max) + " allowed");
    return true;
  }

  bool Image(const std::string& place, const vertamo::Image& image) {
    if (image.width <= 0 || image.height <= 0) return Fail(place, "empty picture");
    if (image.argb.size() != static_cast<size_t>(image.width) * static_cast<size_t>(image.height))
      return Fail(place, "picture holds " + std::to_string(image.argb.size()) + " pixels, " +
                             std::to_string(image.width) + " x " + std::to_string(image.height) +
                             " expected");
    return true;
  }

 private:
  std::string* error_;
};

bool IsIdentifier(const std::string& name) {
  if (name.empty()) return false;
  auto letter = [](char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_'; };
  if (!letter(name[0])) return false;
  for (char c : name)
    if (!letter(c) && !(c >= '0' && c <= '9')) return false;
  return true;
}

std::string At(const char* list, size_t i) { return std::string(list) + "[" + std::to_string(i) + "]"; }

}  // namespace

bool ValidateScenario(const Scenario& s, std::string* error) {
  Checker check(error);
  for (size_t i = 0; i < s.accounts.size(); ++i) {
    const Account& a = s.accounts[i];
    if (!check.Text(At("accounts", i) + ".login", a.login)) return false;
    if (!check.Text(At("accounts", i) + ".password", a.password)) return false;
    if (!check.Text(At("accounts", i) + ".reply", a.reply)) return false;
  }
  for (size_t i = 0; i < s.maps.size(); ++i) {
    const MapDef& m = s.maps[i];
    if (!check.Text(At("maps", i) + ".name", m.name, 63)) return false;
    if (m.background.width != 0 || m.background.height != 0 || !m.background.argb.empty())
      if (!check.Image(At("maps", i) + ".background", m.background)) return false;
  }
  const std::pair<const char*, const CounterLayout*> counters[] = {{"layout.liftbreak", &s.layout.liftBreak},
                                                                   {"layout.ohralr", &s.layout.ohrAlr},
                                                                   {"layout.puerr", &s.layout.puErr}};
  for (const auto& [place, counter] : counters)
    if (counter->present && !check.Text(std::string(place) + ".fontname", counter->fontName, 63))
      return false;
  if (s.layout.clock.present && !check.Text("layout.clock.fontname", s.layout.clock.fontName, 63))
    return false;

  std::set<std::string> setNames;
  for (size_t i = 0; i < s.pictureSets.size(); ++i) {
    const PictureSetDef& set = s.pictureSets[i];
    std::string place = At("picturesets", i);
    if (!IsIdentifier(set.name))
      return check.Fail(place + ".name",
                        "\"" + set.name + "\" is not an identifier (a letter or _, then letters, digits, _)");
    if (!setNames.insert(set.name).second)
      return check.Fail(place + ".name", "a second picture set named \"" + set.name + "\"");
    if (set.pictures.empty()) return check.Fail(place + ".pictures", "no pictures");
    for (size_t j = 0; j < set.pictures.size(); ++j) {
      std::string pplace = place + At(".pictures", j);
      if (!check.Image(pplace, set.pictures[j].image)) return false;
      if (!check.Text(pplace + ".state", set.pictures[j].state, 63)) return false;
    }
  }

  auto findSet = [&](const std::string& name) -> const PictureSetDef* {
    for (const auto& set : s.pictureSets)
      if (set.name == name) return &set;
    return nullptr;
  };
  const int mapCount = static_cast<int>(s.maps.size());
  const int objectCount = static_cast<int>(s.objects.size());
  for (size_t i = 0; i < s.objects.size(); ++i) {
    const ObjectDef& o = s.objects[i];
    std::string place = At("objects", i);
    if (o.map < 0 || o.map >= mapCount)
      return check.Fail(place + ".map", "no map " + std::to_string(o.map) + " (the scenario has " +
                                            std::to_string(mapCount) + ")");
    if (!check.Text(place + ".name", o.name)) return false;
    if (!check.Text(place + ".iml", o.iml)) return false;
    if (!check.Text(place + ".hint", o.hint)) return false;
    if (o.caption && !check.Text(place + ".caption", *o.caption)) return false;
    if (!check.Text(place + ".place", o.place)) return false;
    if (!o.iml.empty()) {
      const PictureSetDef* set = findSet(o.iml);
      if (!set) return check.Fail(place + ".iml", "no picture set \"" + o.iml + "\"");
      const int size = static_cast<int>(set->pictures.size());
      if (o.pcount && (*o.pcount < 1 || *o.pcount > size))
        return check.Fail(place + ".pcount", std::to_string(*o.pcount) + " is outside 1.." +
                                                 std::to_string(size) + " (pictures of set \"" + o.iml +
                                                 "\")");
      const int count = o.pcount.value_or(size);
      if (o.idx < 0 || o.idx >= count)
        return check.Fail(place + ".idx",
                          std::to_string(o.idx) + " is outside 0.." + std::to_string(count - 1));
    }
    if (o.call) {
      const CallDef& c = *o.call;
      if (c.gateway.empty()) return check.Fail(place + ".call.gateway", "empty gateway host");
      if (!check.Text(place + ".call.gateway", c.gateway, 127)) return false;
      if (c.pulText && !check.Text(place + ".call.pultext", *c.pulText, 127)) return false;
      if (c.puText && !check.Text(place + ".call.putext", *c.puText, 127)) return false;
    }
  }
  for (size_t i = 0; i < s.texts.size(); ++i) {
    const TextDef& t = s.texts[i];
    std::string place = At("texts", i);
    if (t.map < 0 || t.map >= mapCount)
      return check.Fail(place + ".map", "no map " + std::to_string(t.map) + " (the scenario has " +
                                            std::to_string(mapCount) + ")");
    if (!check.Text(place + ".caption", t.caption)) return false;
    if (t.fontName && !check.Text(place + ".fontname", *t.fontName, 31)) return false;
    if (t.videoTag && !check.Text(place + ".videotag", *t.videoTag, 127)) return false;
  }
  const std::pair<const char*, const ReportDef*> reports[] = {{"reports.liftbreak", &s.reports.liftBreak},
                                                              {"reports.ohralr", &s.reports.ohrAlr},
                                                              {"reports.puerr", &s.reports.puErr}};
  for (const auto& [place, report] : reports) {
    for (size_t k = 0; k < 3; ++k)
      if (!check.Text(std::string(place) + ".header[" + std::to_string(k) + "]", report->header[k]))
        return false;
    if (report->rows) {
      for (size_t r = 0; r < report->rows->size(); ++r) {
        const ReportRow& row = (*report->rows)[r];
        std::string rplace = std::string(place) + At(".rows", r);
        if (!check.Text(rplace + ".t1", row.t1) || !check.Text(rplace + ".t2", row.t2) ||
            !check.Text(rplace + ".t3", row.t3))
          return false;
        if (row.obj < -1 || row.obj >= objectCount)
          return check.Fail(rplace + ".obj", "no object " + std::to_string(row.obj));
      }
    }
  }
  for (size_t i = 0; i < s.feed.timeline.size(); ++i) {
    const TimedLines& t = s.feed.timeline[i];
    std::string place = At("feed.timeline", i);
    if (t.poll.has_value() == t.second.has_value())
      return check.Fail(place, "give exactly one of \"poll\" and \"second\"");
    if (t.poll && *t.poll < 1) return check.Fail(place + ".poll", "polls are counted from 1");
    if (t.second && !(*t.second >= 0)) return check.Fail(place + ".second", "must not be negative");
    for (size_t j = 0; j < t.lines.size(); ++j) {
      const std::string& line = t.lines[j];
      std::string cp = vertamo::Utf8ToCp1251(line);
      if (vertamo::Cp1251ToUtf8(cp) != line)
        return check.Fail(place + At(".lines", j), "holds characters code page 1251 cannot carry");
      if (cp.find_first_of(std::string("\r\n\0", 3)) != std::string::npos)
        return check.Fail(place + At(".lines", j), "a line cannot hold a line break");
      if (cp.size() > kMaxLine)
        return check.Fail(place + At(".lines", j),
                          "line of " + std::to_string(cp.size()) + " characters, at most 2047 allowed");
    }
  }
  const LiveFeed& live = s.feed.live;
  if (live.eventsPerMinute < 0) return check.Fail("feed.live.events_per_minute", "must not be negative");
  if (live.pauseChance < 0 || live.pauseChance > 1)
    return check.Fail("feed.live.pause_chance", "must lie between 0 and 1");
  if (live.pauseMinSec < 0 || live.pauseMaxSec < live.pauseMinSec)
    return check.Fail("feed.live.pause", "needs 0 <= pause_min <= pause_max");
  for (size_t i = 0; i < live.kinds.size(); ++i) {
    const LiveEventKind& k = live.kinds[i];
    std::string place = At("feed.live.kinds", i);
    if (k.role == StateRole::Normal)
      return check.Fail(place + ".role", "an event cannot lead to the normal state");
    if (k.weight < 0) return check.Fail(place + ".weight", "must not be negative");
    if (k.minDurationSec < 0 || (k.maxDurationSec != 0 && k.maxDurationSec < k.minDurationSec))
      return check.Fail(place + ".duration", "needs 0 <= min <= max (max 0: never ends)");
    if (!check.Text(place + ".event", k.eventText) || !check.Text(place + ".end", k.endText) ||
        !check.Text(place + ".note", k.note, 63) || !check.Text(place + ".wave", k.wave) ||
        !check.Text(place + ".end_wave", k.endWave))
      return false;
    if (k.hint && !check.Text(place + ".hint", *k.hint)) return false;
  }
  if (s.feed.floodLinesPerPoll < 0) return check.Fail("feed.flood", "must not be negative");
  return true;
}

}  // namespace orvexsim
