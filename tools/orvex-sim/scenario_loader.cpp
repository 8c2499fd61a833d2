#include "tools/orvex-sim/scenario_loader.h"

#include <cerrno>
#include <climits>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <set>
#include <sstream>

#include "codec/png_codec.h"
#include "tools/orvex-sim/wire.h"

namespace orvexsim {

namespace {

using Json = nlohmann::json;

// Reads the JSON tree into a Scenario, remembering the first problem with its
// place ("objects[3].iml").
class Reader {
 public:
  Reader(const std::string& file, const FileReader& read) : file_(file), read_(read) {}

  const std::string& error() const { return error_; }

  bool Fail(const std::string& place, const std::string& what) {
    if (error_.empty()) error_ = file_ + ": " + (place.empty() ? "" : place + ": ") + what;
    return false;
  }

  // `j` must be an object holding only the keys listed.
  bool Object(const Json& j, const std::string& place, std::initializer_list<const char*> keys) {
    if (!j.is_object()) return Fail(place, "expected an object {...}, found " + Kind(j));
    for (auto it = j.begin(); it != j.end(); ++it) {
      bool known = false;
      for (const char* key : keys) known |= it.key() == key;
      if (!known) return Fail(place, "unknown key \"" + it.key() + "\"");
    }
    return true;
  }

  bool Array(const Json& j, const std::string& place) {
    if (!j.is_array()) return Fail(place, "expected an array [...], found " + Kind(j));
    return true;
  }

  // An integer (or, where `color` is set, a colour "#RRGGBB", stored as 0x00BBGGRR).
  bool IntValue(const Json& v, const std::string& place, int* out, bool color = false) {
    if (v.is_number_integer()) {
      if (v.is_number_unsigned() ? v.get<uint64_t>() > static_cast<uint64_t>(INT_MAX)
                                 : (v.get<int64_t>() > INT_MAX || v.get<int64_t>() < INT_MIN))
        return Fail(place, "number out of range");
      *out = static_cast<int>(v.get<int64_t>());
      return true;
    }
    if (color && v.is_string()) {
      const std::string& s = v.get_ref<const std::string&>();
      if (s.size() == 7 && s[0] == '#' &&
          s.find_first_not_of("0123456789abcdefABCDEF", 1) == std::string::npos) {
        unsigned long rgb = std::stoul(s.substr(1), nullptr, 16);
        *out = static_cast<int>(((rgb & 0xFF) << 16) | (rgb & 0xFF00) | ((rgb >> 16) & 0xFF));
        return true;
      }
      return Fail(place, "expected a colour as an integer 0x00BBGGRR or \"#RRGGBB\", found \"" + s + "\"");
    }
    return Fail(place,
                std::string("expected an integer") + (color ? " or \"#RRGGBB\"" : "") + ", found " + Kind(v));
  }

  bool Int(const Json& j, const char* key, const std::string& place, int* out, bool required = false,
           bool color = false) {
    auto it = j.find(key);
    if (it == j.end()) return required ? Fail(place, std::string("missing key \"") + key + "\"") : true;
    return IntValue(*it, place + "." + key, out, color);
  }

  bool OptInt(const Json& j, const char* key, const std::string& place, std::optional<int>* out,
              bool color = false) {
    auto it = j.find(key);
    if (it == j.end()) return true;
    int value = 0;
    if (!IntValue(*it, place + "." + key, &value, color)) return false;
    *out = value;
    return true;
  }

  bool Color(const Json& j, const char* key, const std::string& place, int* out) {
    return Int(j, key, place, out, false, true);
  }

  bool Double(const Json& j, const char* key, const std::string& place, double* out) {
    auto it = j.find(key);
    if (it == j.end()) return true;
    if (!it->is_number() || !std::isfinite(it->get<double>()))
      return Fail(place + "." + key, "expected a number, found " + Kind(*it));
    *out = it->get<double>();
    return true;
  }

  bool Bool(const Json& j, const char* key, const std::string& place, bool* out) {
    auto it = j.find(key);
    if (it == j.end()) return true;
    if (it->is_boolean())
      *out = it->get<bool>();
    else if (it->is_number_integer())
      *out = it->get<int64_t>() != 0;
    else
      return Fail(place + "." + key, "expected true or false, found " + Kind(*it));
    return true;
  }

  bool Str(const Json& j, const char* key, const std::string& place, std::string* out,
           bool required = false) {
    auto it = j.find(key);
    if (it == j.end()) return required ? Fail(place, std::string("missing key \"") + key + "\"") : true;
    if (!it->is_string()) return Fail(place + "." + key, "expected a text \"...\", found " + Kind(*it));
    *out = it->get<std::string>();
    return true;
  }

  bool OptStr(const Json& j, const char* key, const std::string& place, std::optional<std::string>* out) {
    if (!j.contains(key)) return true;
    std::string value;
    if (!Str(j, key, place, &value)) return false;
    *out = std::move(value);
    return true;
  }

  // A PNG file named by the scenario, decoded.
  bool Picture(const Json& j, const char* key, const std::string& place, vertamo::Image* out, bool required) {
    std::string name;
    if (!Str(j, key, place, &name, required)) return false;
    if (name.empty()) return !required || Fail(place + "." + key, "empty file name");
    const std::string where = place + "." + key;
    std::filesystem::path path(name);
    if (path.is_absolute())
      return Fail(where, "\"" + name + "\" must be a name inside the scenario's folder");
    for (const auto& part : path)
      if (part == "..") return Fail(where, "\"" + name + "\" must be a name inside the scenario's folder");
    std::string bytes, reason;
    if (!read_ || !read_(name, &bytes, &reason))
      return Fail(where, "cannot read \"" + name + "\": " + reason);
    if (!vertamo::DecodePng(bytes, *out, &reason))
      return Fail(where, "\"" + name + "\" is not a PNG picture: " + reason);
    return true;
  }

  static std::string Kind(const Json& j) {
    switch (j.type()) {
      case Json::value_t::null:
        return "null";
      case Json::value_t::object:
        return "an object";
      case Json::value_t::array:
        return "an array";
      case Json::value_t::string:
        return "a text";
      case Json::value_t::boolean:
        return "true/false";
      case Json::value_t::number_float:
        return "a fraction";
      case Json::value_t::number_integer:
      case Json::value_t::number_unsigned:
        return "a number";
      default:
        return "something else";
    }
  }

  bool ReadScenario(const Json& root, Scenario* s);

 private:
  bool ReadAccount(const Json& j, const std::string& place, Account* a);
  bool ReadMap(const Json& j, const std::string& place, MapDef* m);
  bool ReadLayout(const Json& j, Layout* l);
  bool ReadCounter(const Json& j, const std::string& place, CounterLayout* c);
  bool ReadPictureSet(const Json& j, const std::string& place, PictureSetDef* set);
  bool ReadObject(const Json& j, const std::string& place, const Scenario& s, ObjectDef* o);
  bool ReadText(const Json& j, const std::string& place, const Scenario& s, TextDef* t);
  bool ReadReport(const Json& j, const std::string& place, ReportDef* r);
  bool ReadFeed(const Json& j, Feed* f);
  bool ReadKind(const Json& j, const std::string& place, LiveEventKind* k);
  bool ReadFault(const Json& j, const std::string& place, Fault* f);
  bool MapRef(const Json& j, const std::string& place, const Scenario& s, int* out);

  std::string file_;
  const FileReader& read_;
  std::string error_;
};

std::string At(const std::string& list, size_t i) { return list + "[" + std::to_string(i) + "]"; }

bool Reader::ReadScenario(const Json& root, Scenario* s) {
  if (!Object(root, "",
              {"name", "accounts", "maps", "layout", "picturesets", "objects", "texts", "reports", "feed",
               "faults"}))
    return false;
  if (!Str(root, "name", "", &s->name)) return false;
  auto list = [&](const char* key, auto&& each) -> bool {
    auto it = root.find(key);
    if (it == root.end()) return true;
    if (!Array(*it, key)) return false;
    for (size_t i = 0; i < it->size(); ++i)
      if (!each((*it)[i], At(key, i))) return false;
    return true;
  };
  if (!list("accounts", [&](const Json& j, const std::string& place) {
        s->accounts.emplace_back();
        return ReadAccount(j, place, &s->accounts.back());
      }))
    return false;
  if (!list("maps", [&](const Json& j, const std::string& place) {
        s->maps.emplace_back();
        return ReadMap(j, place, &s->maps.back());
      }))
    return false;
  if (root.contains("layout") && !ReadLayout(root["layout"], &s->layout)) return false;
  if (!list("picturesets", [&](const Json& j, const std::string& place) {
        s->pictureSets.emplace_back();
        return ReadPictureSet(j, place, &s->pictureSets.back());
      }))
    return false;
  if (!list("objects", [&](const Json& j, const std::string& place) {
        ObjectDef o;
        if (!ReadObject(j, place, *s, &o)) return false;
        s->objects.push_back(std::move(o));
        return true;
      }))
    return false;
  if (!list("texts", [&](const Json& j, const std::string& place) {
        TextDef t;
        if (!ReadText(j, place, *s, &t)) return false;
        s->texts.push_back(std::move(t));
        return true;
      }))
    return false;
  if (auto it = root.find("reports"); it != root.end()) {
    if (!Object(*it, "reports", {"liftbreak", "ohralr", "puerr"})) return false;
    if (it->contains("liftbreak") &&
        !ReadReport((*it)["liftbreak"], "reports.liftbreak", &s->reports.liftBreak))
      return false;
    if (it->contains("ohralr") && !ReadReport((*it)["ohralr"], "reports.ohralr", &s->reports.ohrAlr))
      return false;
    if (it->contains("puerr") && !ReadReport((*it)["puerr"], "reports.puerr", &s->reports.puErr))
      return false;
  }
  if (root.contains("feed") && !ReadFeed(root["feed"], &s->feed)) return false;
  if (!list("faults", [&](const Json& j, const std::string& place) {
        s->faults.emplace_back();
        return ReadFault(j, place, &s->faults.back());
      }))
    return false;
  return true;
}

bool Reader::ReadAccount(const Json& j, const std::string& place, Account* a) {
  return Object(j, place, {"login", "password", "reply"}) && Str(j, "login", place, &a->login, true) &&
         Str(j, "password", place, &a->password, true) && Str(j, "reply", place, &a->reply);
}

bool Reader::ReadMap(const Json& j, const std::string& place, MapDef* m) {
  return Object(j, place, {"name", "background", "transparent"}) && Str(j, "name", place, &m->name, true) &&
         Picture(j, "background", place, &m->background, false) &&
         Int(j, "transparent", place, &m->transparent);
}

bool Reader::ReadCounter(const Json& j, const std::string& place, CounterLayout* c) {
  c->present = true;
  return Object(j, place, {"x", "y", "w", "h", "fontname", "value"}) && Int(j, "x", place, &c->x, true) &&
         Int(j, "y", place, &c->y, true) && Int(j, "w", place, &c->w, true) &&
         Int(j, "h", place, &c->h, true) && Str(j, "fontname", place, &c->fontName) &&
         Int(j, "value", place, &c->value);
}

bool Reader::ReadLayout(const Json& j, Layout* l) {
  if (!Object(j, "layout", {"liftbreak", "ohralr", "puerr", "clock", "speaker"})) return false;
  if (j.contains("liftbreak") && !ReadCounter(j["liftbreak"], "layout.liftbreak", &l->liftBreak))
    return false;
  if (j.contains("ohralr") && !ReadCounter(j["ohralr"], "layout.ohralr", &l->ohrAlr)) return false;
  if (j.contains("puerr") && !ReadCounter(j["puerr"], "layout.puerr", &l->puErr)) return false;
  if (auto it = j.find("clock"); it != j.end()) {
    const std::string place = "layout.clock";
    ClockLayout& c = l->clock;
    c.present = true;
    if (!Object(*it, place,
                {"x", "y", "w", "h", "fontname", "color", "fontcolor", "fontsize", "transparent", "bold",
                 "italic"}) ||
        !Int(*it, "x", place, &c.x, true) || !Int(*it, "y", place, &c.y, true) ||
        !Int(*it, "w", place, &c.w, true) || !Int(*it, "h", place, &c.h, true) ||
        !Str(*it, "fontname", place, &c.fontName) || !Color(*it, "color", place, &c.color) ||
        !Color(*it, "fontcolor", place, &c.fontColor) || !Int(*it, "fontsize", place, &c.fontSize) ||
        !Int(*it, "transparent", place, &c.transparent) || !Int(*it, "bold", place, &c.bold) ||
        !Int(*it, "italic", place, &c.italic))
      return false;
  }
  if (auto it = j.find("speaker"); it != j.end()) {
    const std::string place = "layout.speaker";
    SpeakerLayout& c = l->speaker;
    c.present = true;
    if (!Object(*it, place, {"x", "y", "w", "h", "call"}) || !Int(*it, "x", place, &c.x, true) ||
        !Int(*it, "y", place, &c.y, true) || !Int(*it, "w", place, &c.w, true) ||
        !Int(*it, "h", place, &c.h, true) || !Int(*it, "call", place, &c.call))
      return false;
  }
  return true;
}

bool Reader::ReadPictureSet(const Json& j, const std::string& place, PictureSetDef* set) {
  if (!Object(j, place, {"name", "transparent", "pictures"}) || !Str(j, "name", place, &set->name, true) ||
      !Int(j, "transparent", place, &set->transparent))
    return false;
  auto it = j.find("pictures");
  if (it == j.end()) return Fail(place, "missing key \"pictures\"");
  if (!Array(*it, place + ".pictures")) return false;
  for (size_t k = 0; k < it->size(); ++k) {
    const Json& p = (*it)[k];
    const std::string pplace = At(place + ".pictures", k);
    PictureDef picture;
    std::string role = "normal";
    if (!Object(p, pplace, {"file", "state", "role"}) || !Picture(p, "file", pplace, &picture.image, true) ||
        !Str(p, "state", pplace, &picture.state) || !Str(p, "role", pplace, &role))
      return false;
    auto parsed = StateRoleFromName(role);
    if (!parsed)
      return Fail(pplace + ".role",
                  "unknown role \"" + role +
                      "\" (normal, lift_fault, loop_triggered, intercom_fault, cabin_call, no_link)");
    picture.role = *parsed;
    set->pictures.push_back(std::move(picture));
  }
  return true;
}

bool Reader::MapRef(const Json& j, const std::string& place, const Scenario& s, int* out) {
  auto it = j.find("map");
  if (it == j.end()) return Fail(place, "missing key \"map\"");
  if (it->is_string()) {
    const std::string& name = it->get_ref<const std::string&>();
    for (size_t i = 0; i < s.maps.size(); ++i)
      if (s.maps[i].name == name) {
        *out = static_cast<int>(i);
        return true;
      }
    return Fail(place + ".map", "no map named \"" + name + "\"");
  }
  return IntValue(*it, place + ".map", out);
}

bool Reader::ReadObject(const Json& j, const std::string& place, const Scenario& s, ObjectDef* o) {
  if (!Object(j, place,
              {"map", "x", "y", "name", "type", "iml", "pcount", "idx", "hint", "capvisible", "cx", "cy",
               "caption", "capcolor", "place", "call"}))
    return false;
  if (!MapRef(j, place, s, &o->map) || !Int(j, "x", place, &o->x, true) || !Int(j, "y", place, &o->y, true) ||
      !Str(j, "name", place, &o->name, true) || !Int(j, "type", place, &o->type) ||
      !Str(j, "iml", place, &o->iml) || !OptInt(j, "pcount", place, &o->pcount) ||
      !Int(j, "idx", place, &o->idx) || !Str(j, "hint", place, &o->hint) ||
      !OptInt(j, "capvisible", place, &o->capVisible) || !OptInt(j, "cx", place, &o->cx) ||
      !OptInt(j, "cy", place, &o->cy) || !OptStr(j, "caption", place, &o->caption) ||
      !OptInt(j, "capcolor", place, &o->capColor, true) || !Str(j, "place", place, &o->place))
    return false;
  if (auto it = j.find("call"); it != j.end()) {
    const std::string cplace = place + ".call";
    CallDef c;
    if (!Object(*it, cplace, {"gateway", "h323", "com", "adr", "pul", "pultext", "pu", "putext"}) ||
        !Str(*it, "gateway", cplace, &c.gateway) || !Int(*it, "h323", cplace, &c.h323) ||
        !Int(*it, "com", cplace, &c.com, true) || !Int(*it, "adr", cplace, &c.adr, true) ||
        !OptInt(*it, "pul", cplace, &c.pul) || !OptStr(*it, "pultext", cplace, &c.pulText) ||
        !OptInt(*it, "pu", cplace, &c.pu) || !OptStr(*it, "putext", cplace, &c.puText))
      return false;
    o->call = std::move(c);
  }
  return true;
}

bool Reader::ReadText(const Json& j, const std::string& place, const Scenario& s, TextDef* t) {
  if (!Object(j, place,
              {"map",       "x",           "y",         "w",        "h",        "caption",   "fontname",
               "videotag",  "transparent", "visible",   "autosize", "wordwrap", "bold",      "italic",
               "underline", "strikeout",   "alignment", "layout",   "color",    "fontcolor", "fontsize",
               "charset",   "pitch",       "action",    "aparam"}))
    return false;
  if (!MapRef(j, place, s, &t->map) || !Int(j, "x", place, &t->x, true) || !Int(j, "y", place, &t->y, true) ||
      !Int(j, "w", place, &t->w, true) || !Int(j, "h", place, &t->h, true) ||
      !Str(j, "caption", place, &t->caption, true) || !OptStr(j, "fontname", place, &t->fontName) ||
      !OptStr(j, "videotag", place, &t->videoTag))
    return false;
  const std::pair<const char*, std::optional<int>*> ints[] = {{"transparent", &t->transparent},
                                                              {"visible", &t->visible},
                                                              {"autosize", &t->autoSize},
                                                              {"wordwrap", &t->wordWrap},
                                                              {"bold", &t->bold},
                                                              {"italic", &t->italic},
                                                              {"underline", &t->underline},
                                                              {"strikeout", &t->strikeOut},
                                                              {"alignment", &t->alignment},
                                                              {"layout", &t->layout},
                                                              {"fontsize", &t->fontSize},
                                                              {"charset", &t->charset},
                                                              {"pitch", &t->pitch},
                                                              {"action", &t->action},
                                                              {"aparam", &t->aparam}};
  for (const auto& [key, value] : ints)
    if (!OptInt(j, key, place, value)) return false;
  return OptInt(j, "color", place, &t->color, true) && OptInt(j, "fontcolor", place, &t->fontColor, true);
}

bool Reader::ReadReport(const Json& j, const std::string& place, ReportDef* r) {
  if (!Object(j, place, {"header", "rows"})) return false;
  if (auto it = j.find("header"); it != j.end()) {
    if (!it->is_array() || it->size() != 3)
      return Fail(place + ".header", "expected three texts [\"..\", \"..\", \"..\"]");
    for (size_t k = 0; k < 3; ++k) {
      if (!(*it)[k].is_string())
        return Fail(At(place + ".header", k), "expected a text, found " + Kind((*it)[k]));
      r->header[k] = (*it)[k].get<std::string>();
    }
  }
  if (auto it = j.find("rows"); it != j.end()) {
    if (!Array(*it, place + ".rows")) return false;
    std::vector<ReportRow> rows;
    for (size_t k = 0; k < it->size(); ++k) {
      const std::string rplace = At(place + ".rows", k);
      ReportRow row;
      const Json& e = (*it)[k];
      if (!Object(e, rplace, {"t1", "t2", "t3", "obj"}) || !Str(e, "t1", rplace, &row.t1) ||
          !Str(e, "t2", rplace, &row.t2) || !Str(e, "t3", rplace, &row.t3) ||
          !Int(e, "obj", rplace, &row.obj))
        return false;
      rows.push_back(std::move(row));
    }
    r->rows = std::move(rows);
  }
  return true;
}

bool Reader::ReadKind(const Json& j, const std::string& place, LiveEventKind* k) {
  std::string role;
  if (!Object(j, place,
              {"role", "weight", "object_types", "min_duration", "max_duration", "event", "end", "note",
               "color", "font_color", "end_color", "end_font_color", "wave", "end_wave", "hint"}) ||
      !Str(j, "role", place, &role, true))
    return false;
  auto parsed = StateRoleFromName(role);
  if (!parsed) return Fail(place + ".role", "unknown role \"" + role + "\"");
  k->role = *parsed;
  if (auto it = j.find("object_types"); it != j.end()) {
    if (!Array(*it, place + ".object_types")) return false;
    for (size_t i = 0; i < it->size(); ++i) {
      int type = 0;
      if (!IntValue((*it)[i], At(place + ".object_types", i), &type)) return false;
      k->objectTypes.push_back(type);
    }
  }
  return Double(j, "weight", place, &k->weight) && Double(j, "min_duration", place, &k->minDurationSec) &&
         Double(j, "max_duration", place, &k->maxDurationSec) && Str(j, "event", place, &k->eventText) &&
         Str(j, "end", place, &k->endText) && Str(j, "note", place, &k->note) &&
         Color(j, "color", place, &k->color) && Color(j, "font_color", place, &k->fontColor) &&
         Color(j, "end_color", place, &k->endColor) && Color(j, "end_font_color", place, &k->endFontColor) &&
         Str(j, "wave", place, &k->wave) && Str(j, "end_wave", place, &k->endWave) &&
         OptStr(j, "hint", place, &k->hint);
}

bool Reader::ReadFeed(const Json& j, Feed* f) {
  if (!Object(j, "feed", {"derive_counters", "flood", "timeline", "live"}) ||
      !Bool(j, "derive_counters", "feed", &f->deriveCounters) ||
      !Int(j, "flood", "feed", &f->floodLinesPerPoll))
    return false;
  if (auto it = j.find("timeline"); it != j.end()) {
    if (!Array(*it, "feed.timeline")) return false;
    for (size_t i = 0; i < it->size(); ++i) {
      const Json& e = (*it)[i];
      const std::string place = At("feed.timeline", i);
      TimedLines t;
      if (!Object(e, place, {"poll", "second", "lines"}) || !OptInt(e, "poll", place, &t.poll)) return false;
      if (e.contains("second")) {
        double second = 0;
        if (!Double(e, "second", place, &second)) return false;
        t.second = second;
      }
      auto lines = e.find("lines");
      if (lines == e.end()) return Fail(place, "missing key \"lines\"");
      if (!Array(*lines, place + ".lines")) return false;
      for (size_t k = 0; k < lines->size(); ++k) {
        if (!(*lines)[k].is_string())
          return Fail(At(place + ".lines", k), "expected a text, found " + Kind((*lines)[k]));
        t.lines.push_back((*lines)[k].get<std::string>());
      }
      f->timeline.push_back(std::move(t));
    }
  }
  if (auto it = j.find("live"); it != j.end()) {
    const std::string place = "feed.live";
    LiveFeed& live = f->live;
    live.enabled = true;
    if (!Object(*it, place,
                {"enabled", "events_per_minute", "pause_chance", "pause_min", "pause_max", "kinds"}) ||
        !Bool(*it, "enabled", place, &live.enabled) ||
        !Double(*it, "events_per_minute", place, &live.eventsPerMinute) ||
        !Double(*it, "pause_chance", place, &live.pauseChance) ||
        !Double(*it, "pause_min", place, &live.pauseMinSec) ||
        !Double(*it, "pause_max", place, &live.pauseMaxSec))
      return false;
    if (auto kinds = it->find("kinds"); kinds != it->end()) {
      if (!Array(*kinds, place + ".kinds")) return false;
      for (size_t k = 0; k < kinds->size(); ++k) {
        live.kinds.emplace_back();
        if (!ReadKind((*kinds)[k], At(place + ".kinds", k), &live.kinds.back())) return false;
      }
    }
  }
  return true;
}

bool Reader::ReadFault(const Json& j, const std::string& place, Fault* f) {
  std::string kind, step;
  if (!Object(j, place, {"kind", "step", "connection", "occurrence", "delay", "value"}) ||
      !Str(j, "kind", place, &kind, true) || !Str(j, "step", place, &step) ||
      !Int(j, "connection", place, &f->connection) || !Int(j, "occurrence", place, &f->occurrence) ||
      !Int(j, "delay", place, &f->delayMs) || !Int(j, "value", place, &f->value))
    return false;
  auto parsedKind = FaultKindFromName(kind);
  if (!parsedKind) return Fail(place + ".kind", "unknown fault \"" + kind + "\"");
  f->kind = *parsedKind;
  if (!step.empty()) {
    auto parsedStep = StepFromName(step);
    if (!parsedStep) return Fail(place + ".step", "unknown step \"" + step + "\"");
    f->step = *parsedStep;
  } else if (f->kind == FaultKind::RefuseLogin) {
    f->step = Step::Login;
  } else if (f->kind != FaultKind::GarblePrompt) {
    return Fail(place, "missing key \"step\"");
  }
  return true;
}

// Line and column (from 1) of a byte offset.
std::string Position(std::string_view text, size_t offset) {
  size_t line = 1, column = 1;
  for (size_t i = 0; i < offset && i < text.size(); ++i) {
    if (text[i] == '\n') {
      ++line;
      column = 1;
    } else {
      ++column;
    }
  }
  return "line " + std::to_string(line) + ", column " + std::to_string(column);
}

bool ReadWholeFile(const std::filesystem::path& path, std::string* bytes, std::string* error) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    if (error) *error = std::strerror(errno ? errno : ENOENT);
    return false;
  }
  std::ostringstream buffer;
  buffer << in.rdbuf();
  if (in.bad()) {
    if (error) *error = "read error";
    return false;
  }
  *bytes = buffer.str();
  return true;
}

}  // namespace

bool ParseScenario(std::string_view json, const std::string& fileLabel, const FileReader& read, Scenario* out,
                   std::string* error) {
  Json root = Json::parse(json.begin(), json.end(), nullptr, /*allow_exceptions=*/false);
  if (root.is_discarded()) {
    // Parse again with a handler that keeps the position of the first error.
    struct Sax : nlohmann::json_sax<Json> {
      size_t position = 0;
      std::string message;
      bool null() override { return true; }
      bool boolean(bool) override { return true; }
      bool number_integer(number_integer_t) override { return true; }
      bool number_unsigned(number_unsigned_t) override { return true; }
      bool number_float(number_float_t, const string_t&) override { return true; }
      bool string(string_t&) override { return true; }
      bool binary(binary_t&) override { return true; }
      bool start_object(std::size_t) override { return true; }
      bool key(string_t&) override { return true; }
      bool end_object() override { return true; }
      bool start_array(std::size_t) override { return true; }
      bool end_array() override { return true; }
      bool parse_error(std::size_t pos, const std::string&, const nlohmann::detail::exception& e) override {
        position = pos;
        message = e.what();
        return false;
      }
    } sax;
    Json::sax_parse(json.begin(), json.end(), &sax);
    // The library's message reads "[json.exception.parse_error.101] parse error at line 3, column 5: ...".
    std::string what = sax.message;
    if (size_t colon = what.find(": "); colon != std::string::npos) what = what.substr(colon + 2);
    if (error)
      *error = fileLabel + ": " + Position(json, sax.position > 0 ? sax.position - 1 : 0) + ": " +
               (what.empty() ? "not valid JSON" : what);
    return false;
  }
  Reader reader(fileLabel, read);
  Scenario scenario;
  if (!reader.ReadScenario(root, &scenario)) {
    if (error) *error = reader.error();
    return false;
  }
  std::string problem;
  if (!ValidateScenario(scenario, &problem)) {
    if (error) *error = fileLabel + ": " + problem;
    return false;
  }
  *out = std::move(scenario);
  return true;
}

bool LoadScenario(const std::string& path, Scenario* out, std::string* error) {
  std::filesystem::path file(path);
  std::error_code ec;
  if (std::filesystem::is_directory(file, ec)) file /= "scenario.json";
  std::string text, reason;
  if (!ReadWholeFile(file, &text, &reason)) {
    if (error) *error = file.string() + ": cannot read: " + reason;
    return false;
  }
  const std::filesystem::path folder = file.parent_path();
  FileReader read = [folder](const std::string& name, std::string* bytes, std::string* why) {
    return ReadWholeFile(folder / name, bytes, why);
  };
  if (!ParseScenario(text, file.string(), read, out, error)) return false;
  if (out->name.empty()) out->name = folder.filename().string();
  return true;
}

}  // namespace orvexsim
