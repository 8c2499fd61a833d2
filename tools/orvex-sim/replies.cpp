#include "tools/orvex-sim/replies.h"

#include <algorithm>
#include <tuple>
#include <utility>

#include "codec/base64.h"
#include "codec/picture_checksum.h"
#include "platform/cp1251.h"
#include "tools/orvex-sim/wire.h"

namespace orvexsim {

namespace {

// Number of record `k` as sent: one too high for the record a
// WrongRecordNumber fault names (its value, default the first).
int Numbered(int k, const ActiveFaults& f) {
  const Fault* w = f.Find(FaultKind::WrongRecordNumber);
  return w && k == std::max(0, w->value) ? k + 1 : k;
}
bool Missing(int k, const ActiveFaults& f) {
  const Fault* m = f.Find(FaultKind::MissingKey);
  return m && k == std::max(0, m->value);
}

// Base64 of a picture, spoiled as a fault asks.
std::string DataValue(const EncodedPicture& p, const ActiveFaults& f) {
  if (f.Has(FaultKind::NotPng)) return vertamo::Base64Encode("this is not a PNG picture");
  if (f.Has(FaultKind::Base64WrongLength))
    return p.base64.substr(0, p.base64.empty() ? 0 : p.base64.size() - 1);
  return p.base64;
}

}  // namespace

std::string EndWord(const ActiveFaults& f) { return f.Has(FaultKind::LowerCase) ? "end" : "END"; }

// Counter values as GETMAP gives them.
Counts LayoutCounts(const Scenario& s, const View& view) {
  if (s.feed.deriveCounters) return view.Derive();
  const Layout& l = s.layout;
  return Counts{l.liftBreak.value, l.ohrAlr.value, l.puErr.value, l.speaker.call};
}

std::vector<std::string> GetMapReply(const Scenario& s, const Counts& counts, const ActiveFaults& f) {
  std::vector<std::string> lines;
  const int n = static_cast<int>(s.maps.size());
  lines.push_back("MAPCOUNT=" + std::to_string(n));
  for (int i = 0; i < n; ++i) {
    std::string line = "MAP=" + std::to_string(Numbered(i, f)) + TextItem("NAME", s.maps[i].name);
    if (!Missing(i, f)) line += IntItem("PICT", s.maps[i].HasPicture() ? 1 : 0);
    lines.push_back(std::move(line));
  }
  const std::tuple<const char*, const CounterLayout*, int> counters[] = {
      {"LIFTBREAK", &s.layout.liftBreak, counts.liftBreak},
      {"OHRALR", &s.layout.ohrAlr, counts.ohrAlr},
      {"PUERR", &s.layout.puErr, counts.puErr}};
  for (const auto& [word, c, value] : counters) {
    if (!c->present) continue;
    lines.push_back(word + IntItem("X", c->x) + IntItem("Y", c->y) + IntItem("W", c->w) + IntItem("H", c->h) +
                    TextItem("FONTNAME", c->fontName) + IntItem("VALUE", value));
  }
  if (const ClockLayout& c = s.layout.clock; c.present)
    lines.push_back("CLOCK" + IntItem("X", c.x) + IntItem("Y", c.y) + IntItem("W", c.w) + IntItem("H", c.h) +
                    TextItem("FONTNAME", c.fontName) + IntItem("COLOR", c.color) +
                    IntItem("FONTCOLOR", c.fontColor) + IntItem("FONTSIZE", c.fontSize) +
                    IntItem("TRANSPARENT", c.transparent) + IntItem("BOLD", c.bold) +
                    IntItem("ITALIC", c.italic));
  if (const SpeakerLayout& c = s.layout.speaker; c.present)
    lines.push_back("SPEAKER" + IntItem("X", c.x) + IntItem("Y", c.y) + IntItem("W", c.w) +
                    IntItem("H", c.h) + IntItem("CALL", counts.speaker));
  lines.push_back(EndWord(f));
  return lines;
}

std::vector<std::string> GetMapObjReply(const Catalog& catalog, const View& view, const ActiveFaults& f) {
  const Scenario& s = catalog.scenario();
  std::vector<std::string> lines;
  const int n = static_cast<int>(s.objects.size());
  lines.reserve(n + 1);
  lines.push_back("OBJCOUNT=" + std::to_string(n));
  for (int i = 0; i < n; ++i) {
    const ObjectDef& o = s.objects[i];
    const ObjectState& st = view.Object(i);
    std::string line = "OBJ=" + std::to_string(Numbered(i, f));
    line += IntItem("MAP", o.map) + IntItem("X", o.x) + IntItem("Y", o.y) + TextItem("NAME", o.name) +
            IntItem("TYPE", o.type) + TextItem("IML", o.iml) + IntItem("PCOUNT", catalog.PCount(i)) +
            IntItem("IDX", st.idx);
    if (!Missing(i, f)) line += TextItemCp1251("HINT", st.hint);
    if (o.capVisible) line += IntItem("CAPVISIBLE", *o.capVisible);
    if (o.cx) line += IntItem("CX", *o.cx);
    if (o.cy) line += IntItem("CY", *o.cy);
    if (st.caption) line += TextItemCp1251("CAPTION", *st.caption);
    if (st.capColor) line += IntItem("CAPCOLOR", *st.capColor);
    lines.push_back(std::move(line));
  }
  return lines;
}

std::vector<std::string> GetTextReply(const Scenario& s, const ActiveFaults& f) {
  std::vector<std::string> lines;
  const int n = static_cast<int>(s.texts.size());
  lines.push_back("TEXTCOUNT=" + std::to_string(n));
  for (int i = 0; i < n; ++i) {
    const TextDef& t = s.texts[i];
    std::string line = "IDX=" + std::to_string(Numbered(i, f));
    line +=
        IntItem("MAP", t.map) + IntItem("X", t.x) + IntItem("Y", t.y) + IntItem("W", t.w) + IntItem("H", t.h);
    if (!Missing(i, f)) line += TextItem("CAPTION", t.caption);
    if (t.fontName) line += TextItem("FONTNAME", *t.fontName);
    if (t.videoTag) line += TextItem("VIDEOTAG", *t.videoTag);
    const std::pair<const char*, const std::optional<int>*> ints[] = {
        {"TRANSPARENT", &t.transparent}, {"VISIBLE", &t.visible},     {"AUTOSIZE", &t.autoSize},
        {"WORDWRAP", &t.wordWrap},       {"BOLD", &t.bold},           {"ITALIC", &t.italic},
        {"UNDERLINE", &t.underline},     {"STRIKEOUT", &t.strikeOut}, {"ALIGNMENT", &t.alignment},
        {"LAYOUT", &t.layout},           {"COLOR", &t.color},         {"FONTCOLOR", &t.fontColor},
        {"FONTSIZE", &t.fontSize},       {"CHARSET", &t.charset},     {"PITCH", &t.pitch},
        {"ACTION", &t.action},           {"APARAM", &t.aparam}};
    for (const auto& [key, value] : ints)
      if (*value) line += IntItem(key, **value);
    lines.push_back(std::move(line));
  }
  return lines;
}

std::vector<std::string> GetPictMapReply(const Scenario& s, PictureCache& pictures, int map, bool checksum,
                                         const ActiveFaults& f) {
  if (map < 0 || map >= static_cast<int>(s.maps.size()) || !s.maps[map].HasPicture())
    return {"ERROR No picture for map " + std::to_string(map)};
  const EncodedPicture& p = pictures.Map(map);
  std::string head = "MAP=" + std::to_string(f.Has(FaultKind::WrongRecordNumber) ? map + 1 : map);
  if (checksum) {
    head += IntItem("TRANSPARENT", s.maps[map].transparent);
    uint32_t sum = p.sum + (f.Has(FaultKind::BadChecksum) ? 1 : 0);
    if (!f.Has(FaultKind::MissingKey)) head += " CS=\"" + vertamo::FormatPictureChecksum(sum) + "\"";
    return {head};
  }
  head += IntItem("W", p.width);
  if (!f.Has(FaultKind::MissingKey)) head += IntItem("H", p.height);
  return {head, "DATA=\"" + DataValue(p, f) + "\""};
}

std::vector<std::string> GetPictImlReply(const Catalog& catalog, PictureCache& pictures, int obj,
                                         bool checksum, const ActiveFaults& f) {
  const Scenario& s = catalog.scenario();
  const int set = (obj >= 0 && obj < catalog.ObjectCount()) ? catalog.SetOf(obj) : -1;
  if (set < 0) return {"ERROR No picture set for object " + std::to_string(obj)};
  const PictureSetDef& def = s.pictureSets[set];
  const int pcount = catalog.PCount(obj);
  std::string head = "OBJ=" + std::to_string(f.Has(FaultKind::WrongRecordNumber) ? obj + 1 : obj);
  head += IntItem("PCOUNT", pcount);
  if (checksum) {
    head += IntItem("TRANSPARENT", def.transparent);
    uint32_t sum = pictures.SetSum(set, pcount) + (f.Has(FaultKind::BadChecksum) ? 1 : 0);
    if (!f.Has(FaultKind::MissingKey)) head += " CS=\"" + vertamo::FormatPictureChecksum(sum) + "\"";
    return {head};
  }
  const EncodedPicture& first = pictures.SetPicture(set, 0);
  head += IntItem("W", first.width) + IntItem("H", first.height);
  if (!f.Has(FaultKind::MissingKey)) head += IntItem("TRANSPARENT", def.transparent);
  std::vector<std::string> lines{head};
  for (int j = 0; j < pcount; ++j) {
    const EncodedPicture& p = pictures.SetPicture(set, j);
    lines.push_back("DATA" + std::to_string(j) + "=\"" + (j == 0 ? DataValue(p, f) : p.base64) + "\"");
  }
  return lines;
}

std::vector<std::string> GetChangesReply(const Catalog& catalog, int floodLines,
                                         std::vector<std::string> world, double secondsSinceLogin,
                                         FeedState& feed, const ActiveFaults& f) {
  const Scenario& s = catalog.scenario();
  ++feed.polls;
  std::vector<std::string> lines;
  // Every line sent changes what this connection's objects show.
  auto add = [&](std::string line) {
    feed.view.ApplyLine(line);
    NoteCounterLine(line, &feed.told);
    lines.push_back(std::move(line));
  };
  for (auto& line : world) add(std::move(line));
  for (size_t i = 0; i < s.feed.timeline.size(); ++i) {
    const TimedLines& t = s.feed.timeline[i];
    if (feed.timelineDone[i]) continue;
    if ((t.poll && *t.poll == feed.polls) || (t.second && secondsSinceLogin >= *t.second)) {
      feed.timelineDone[i] = true;
      for (const auto& line : t.lines) add(vertamo::Utf8ToCp1251(line));
    }
  }
  const int objects = feed.view.ObjectCount();
  for (int k = 0; k < floodLines && objects > 0; ++k) {
    const int obj = feed.floodNext;
    feed.floodNext = (feed.floodNext + 1) % objects;
    const int pcount = catalog.PCount(obj);
    const int idx = pcount > 0 ? (feed.view.Object(obj).idx + 1) % pcount : 0;
    add("UPDATE" + IntItem("OBJ", obj) + IntItem("IDX", idx));
  }
  if (f.Has(FaultKind::UpdateWithoutObj)) add("UPDATE IDX=1");
  if (f.Has(FaultKind::WrongRecordNumber)) add("UPDATE" + IntItem("OBJ", objects) + IntItem("IDX", 0));
  if (f.Has(FaultKind::MissingKey))
    add("LOG OBJ=0 COLOR=255 FONTCOLOR=0" + TextItem("T0", "01.01.2000") + TextItem("T1", "00:00:00") +
        TextItem("T2", "?") + TextItem("T3", "?") + TextItem("T4", "?"));
  if (s.feed.deriveCounters) CounterLines(feed.view.Derive(), &feed.told, &lines);
  if (f.Has(FaultKind::Reload)) lines.push_back("RELOAD");
  lines.push_back(EndWord(f));
  return lines;
}

std::vector<std::string> MouseDownReply(const Scenario& s, int obj, const ActiveFaults& f) {
  if (obj < 0 || obj >= static_cast<int>(s.objects.size())) return {"ERROR No object " + std::to_string(obj)};
  const ObjectDef& o = s.objects[obj];
  std::string line = "OBJ=" + std::to_string(f.Has(FaultKind::WrongRecordNumber) ? obj + 1 : obj);
  line += IntItem("TYPE", o.type);
  if (o.call) {
    const CallDef& c = *o.call;
    if (!f.Has(FaultKind::MissingKey)) line += TextItem("KelmoGW", c.gateway);
    line += IntItem("H323", c.h323) + IntItem("COM", c.com) + IntItem("ADR", c.adr);
    if (c.pul) line += IntItem("PUL", *c.pul);
    if (c.pulText) line += TextItem("PULTEXT", *c.pulText);
    if (c.pu) line += IntItem("PU", *c.pu);
    if (c.puText) line += TextItem("PUTEXT", *c.puText);
  }
  return {line};
}

std::vector<std::string> ReportReply(const Catalog& catalog, const View& view, ReportKind kind,
                                     const ActiveFaults& f) {
  const Scenario& s = catalog.scenario();
  const ReportDef& def = kind == ReportKind::LiftBreak ? s.reports.liftBreak
                         : kind == ReportKind::OhrAlr  ? s.reports.ohrAlr
                                                       : s.reports.puErr;
  const StateRole role = kind == ReportKind::LiftBreak ? StateRole::LiftFault
                         : kind == ReportKind::OhrAlr  ? StateRole::LoopTriggered
                                                       : StateRole::IntercomFault;
  std::vector<std::string> lines;
  lines.push_back("VIEWHEADER" + TextItem("T1", def.header[0]) + TextItem("T2", def.header[1]) +
                  TextItem("T3", def.header[2]));
  int k = 0;
  auto row = [&](const std::string& t1cp, const std::string& t2cp, const std::string& t3cp, int obj) {
    std::string line =
        "VIEW" + TextItemCp1251("T1", t1cp) + TextItemCp1251("T2", t2cp) + TextItemCp1251("T3", t3cp);
    if (!Missing(k, f)) line += IntItem("OBJ", f.Has(FaultKind::WrongRecordNumber) && k == 0 ? obj + 1 : obj);
    lines.push_back(std::move(line));
    ++k;
  };
  if (def.rows) {
    for (const ReportRow& r : *def.rows)
      row(vertamo::Utf8ToCp1251(r.t1), vertamo::Utf8ToCp1251(r.t2), vertamo::Utf8ToCp1251(r.t3), r.obj);
  } else {
    for (int obj : view.ObjectsWithRole(role)) {
      const ObjectDef& o = s.objects[obj];
      row(vertamo::Utf8ToCp1251(o.name), vertamo::Utf8ToCp1251(o.place),
          vertamo::Utf8ToCp1251(catalog.StateName(obj, view.Object(obj).idx)), obj);
    }
  }
  lines.push_back(EndWord(f));
  return lines;
}

}  // namespace orvexsim
