// The demo district: what a dispatcher is shown (maps, lifts, intercom units,
// sensors, links, the counter / clock / speaker layout), that every picture
// survives the PNG round trip, and that its live feed behaves like a district.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <regex>
#include <set>

#include "codec/png_codec.h"
#include "sim/raw_client.h"
#include "sim/test_scenario.h"
#include "tools/orvex-sim/scenario.h"
#include "tools/orvex-sim/wire.h"

namespace {

using orvexsim::ObjectDef;
using orvexsim::PictureSetDef;
using orvexsim::Scenario;
using orvexsim::StateRole;

// Built once: drawing the district takes a moment.
const Scenario& Demo() {
  static const Scenario demo = orvexsim::BuildDemoScenario();
  return demo;
}

const PictureSetDef* SetOf(const Scenario& s, const ObjectDef& o) {
  for (const auto& set : s.pictureSets)
    if (set.name == o.iml) return &set;
  return nullptr;
}

std::set<StateRole> RolesOf(const PictureSetDef& set) {
  std::set<StateRole> roles;
  for (const auto& p : set.pictures) roles.insert(p.role);
  return roles;
}

bool HasCyrillic(const std::string& utf8) {
  return utf8.find("\xD0") != std::string::npos || utf8.find("\xD1") != std::string::npos;
}

struct Box {
  int x, y, w, h;
};
bool Overlap(const Box& a, const Box& b) {
  return a.x < b.x + b.w && b.x < a.x + a.w && a.y < b.y + b.h && b.y < a.y + a.h;
}
// Where the workstation draws an object: its picture two pixels above Y.
Box PictureBox(const Scenario& s, const ObjectDef& o) {
  const auto* set = SetOf(s, o);
  const auto& im = set->pictures.front().image;
  return {o.x, o.y - 2, im.width, im.height};
}

// Kinds of objects, by the states their picture sets can show.
bool IsLift(const Scenario& s, const ObjectDef& o) {
  const auto* set = SetOf(s, o);
  return set && RolesOf(*set).count(StateRole::LiftFault) > 0;
}
bool IsIntercom(const Scenario& s, const ObjectDef& o) {
  const auto* set = SetOf(s, o);
  return set && RolesOf(*set).count(StateRole::IntercomFault) > 0;
}
bool IsSensor(const Scenario& s, const ObjectDef& o) {
  const auto* set = SetOf(s, o);
  return set && !IsLift(s, o) && RolesOf(*set).count(StateRole::LoopTriggered) > 0;
}

TEST(DemoScenario, IsValidAndHasThreeDrawnMapsWithRussianNames) {
  const Scenario& s = Demo();
  std::string error;
  ASSERT_TRUE(orvexsim::ValidateScenario(s, &error)) << error;
  ASSERT_GE(s.maps.size(), 3u);
  std::set<std::string> names;
  for (const auto& m : s.maps) {
    EXPECT_TRUE(HasCyrillic(m.name)) << m.name;
    EXPECT_TRUE(names.insert(m.name).second) << "two maps named " << m.name;
    EXPECT_GE(m.background.width, 1024) << m.name;
    EXPECT_GE(m.background.height, 700) << m.name;
    // A drawing, not a flat fill: many different colours.
    std::set<uint32_t> colours(m.background.argb.begin(), m.background.argb.end());
    EXPECT_GT(colours.size(), 200u) << m.name;
    EXPECT_TRUE(std::any_of(s.objects.begin(), s.objects.end(),
                            [&](const ObjectDef& o) { return s.maps[o.map].name == m.name; }))
        << "no objects on " << m.name;
  }
}

TEST(DemoScenario, HasThirtyLiftsWithFiveStatesIntercomUnitsAndSensors) {
  const Scenario& s = Demo();
  int lifts = 0, intercoms = 0, sensors = 0;
  std::set<std::pair<std::string, std::string>> seen;
  for (const auto& o : s.objects) {
    const auto* set = SetOf(s, o);
    ASSERT_NE(set, nullptr) << o.name;
    if (IsLift(s, o)) {
      ++lifts;
      EXPECT_EQ(RolesOf(*set),
                (std::set<StateRole>{StateRole::Normal, StateRole::LiftFault, StateRole::LoopTriggered,
                                     StateRole::CabinCall, StateRole::NoLink}))
          << o.name;
      EXPECT_TRUE(o.call.has_value()) << "a lift the dispatcher cannot call: " << o.name;
    }
    if (IsIntercom(s, o)) ++intercoms;
    if (IsSensor(s, o)) ++sensors;
    EXPECT_FALSE(o.place.empty()) << o.name;
    EXPECT_FALSE(o.hint.empty()) << o.name;
    // The journal and the reports tell objects apart by name and place.
    EXPECT_TRUE(seen.insert({o.name, o.place}).second) << o.name << " / " << o.place;
  }
  EXPECT_GE(lifts, 30);
  EXPECT_GE(intercoms, 3);
  EXPECT_GE(sensors, 3);
}

TEST(DemoScenario, TextsLinkEveryMapToEveryOtherAndLabelTheMaps) {
  const Scenario& s = Demo();
  const int n = static_cast<int>(s.maps.size());
  std::vector<std::set<int>> links(n);
  int labels = 0;
  for (const auto& t : s.texts) {
    ASSERT_GE(t.map, 0);
    ASSERT_LT(t.map, n);
    if (t.action.value_or(0) == 1) {
      ASSERT_TRUE(t.aparam.has_value()) << t.caption;
      EXPECT_GE(*t.aparam, 0) << t.caption;
      EXPECT_LT(*t.aparam, n) << t.caption;
      EXPECT_NE(*t.aparam, t.map) << "a link to its own map: " << t.caption;
      links[t.map].insert(*t.aparam);
    } else {
      ++labels;
    }
  }
  // Every map reaches every other one through its links.
  for (int from = 0; from < n; ++from) {
    std::set<int> reached{from};
    std::vector<int> todo{from};
    while (!todo.empty()) {
      const int m = todo.back();
      todo.pop_back();
      for (int to : links[m])
        if (reached.insert(to).second) todo.push_back(to);
    }
    EXPECT_EQ(static_cast<int>(reached.size()), n) << "from map " << from;
    EXPECT_FALSE(links[from].empty()) << "map " << from << " has no link";
  }
  EXPECT_GE(labels, 5);
}

TEST(DemoScenario, CountersClockAndSpeakerFitEveryMapAndHideNothing) {
  const Scenario& s = Demo();
  const auto& l = s.layout;
  ASSERT_TRUE(l.liftBreak.present && l.ohrAlr.present && l.puErr.present && l.clock.present &&
              l.speaker.present);
  const std::vector<Box> widgets = {{l.liftBreak.x, l.liftBreak.y, l.liftBreak.w, l.liftBreak.h},
                                    {l.ohrAlr.x, l.ohrAlr.y, l.ohrAlr.w, l.ohrAlr.h},
                                    {l.puErr.x, l.puErr.y, l.puErr.w, l.puErr.h},
                                    {l.clock.x, l.clock.y, l.clock.w, l.clock.h},
                                    {l.speaker.x, l.speaker.y, l.speaker.w, l.speaker.h}};
  EXPECT_EQ(l.speaker.w, 130);  // the speaker symbol's own size
  EXPECT_EQ(l.speaker.h, 130);
  for (size_t i = 0; i < widgets.size(); ++i) {
    const Box& w = widgets[i];
    EXPECT_GT(w.w, 0);
    EXPECT_GT(w.h, 0);
    for (const auto& m : s.maps) {
      EXPECT_GE(w.x, 0);
      EXPECT_GE(w.y, 0);
      EXPECT_LE(w.x + w.w, m.background.width) << "widget " << i << " on " << m.name;
      EXPECT_LE(w.y + w.h, m.background.height) << "widget " << i << " on " << m.name;
    }
    for (size_t j = i + 1; j < widgets.size(); ++j) EXPECT_FALSE(Overlap(w, widgets[j])) << i << " and " << j;
    // The widgets follow the dispatcher from map to map: no object may lie under them.
    for (const auto& o : s.objects)
      EXPECT_FALSE(Overlap(w, PictureBox(s, o))) << "widget " << i << " hides " << o.name;
  }
}

TEST(DemoScenario, ObjectsLieOnTheirMapWithoutCoveringEachOther) {
  const Scenario& s = Demo();
  for (size_t i = 0; i < s.objects.size(); ++i) {
    const ObjectDef& o = s.objects[i];
    const Box b = PictureBox(s, o);
    const auto& bg = s.maps[o.map].background;
    EXPECT_GE(b.x, 0) << o.name;
    EXPECT_GE(b.y, 0) << o.name;
    EXPECT_LE(b.x + b.w, bg.width) << o.name;
    EXPECT_LE(b.y + b.h, bg.height) << o.name;
    for (size_t j = i + 1; j < s.objects.size(); ++j) {
      if (s.objects[j].map != o.map) continue;
      EXPECT_FALSE(Overlap(b, PictureBox(s, s.objects[j])))
          << o.name << " (" << o.place << ") and " << s.objects[j].name << " (" << s.objects[j].place << ")";
    }
  }
}

TEST(DemoScenario, EveryPictureSurvivesThePngRoundTrip) {
  const Scenario& s = Demo();
  auto check = [](const vertamo::Image& image, const std::string& what) {
    const std::string png = vertamo::EncodePng(image);
    ASSERT_FALSE(png.empty()) << what;
    vertamo::Image back;
    std::string error;
    ASSERT_TRUE(vertamo::DecodePng(png, back, &error)) << what << ": " << error;
    EXPECT_EQ(back.width, image.width) << what;
    EXPECT_EQ(back.height, image.height) << what;
    EXPECT_TRUE(back.argb == image.argb) << what;
    EXPECT_EQ(vertamo::EncodePng(back), png) << what;
  };
  for (const auto& m : s.maps) check(m.background, m.name);
  for (const auto& set : s.pictureSets) {
    ASSERT_FALSE(set.pictures.empty()) << set.name;
    const auto& first = set.pictures.front().image;
    for (size_t j = 0; j < set.pictures.size(); ++j) {
      const auto& im = set.pictures[j].image;
      const std::string what = set.name + "[" + std::to_string(j) + "]";
      check(im, what);
      EXPECT_EQ(im.width, first.width) << what;
      EXPECT_EQ(im.height, first.height) << what;
      EXPECT_FALSE(set.pictures[j].state.empty()) << what;
      if (set.transparent) {
        // The workstation masks the colour of the bottom-left pixel.
        EXPECT_EQ(im.argb[static_cast<size_t>(im.height - 1) * im.width] >> 24, 0u) << what;
      }
    }
  }
}

TEST(DemoScenario, LiveFeedBreaksAndRepairsAndKeepsCountersTrue) {
  auto scenario = std::make_shared<Scenario>(Demo());
  auto options = simtest::QuietOptions();
  options.seed = 2024;
  simtest::SimServer sim(scenario, options);
  ASSERT_TRUE(sim.started) << sim.error;
  simtest::RawClient client;
  simtest::LogIn(client, sim.server);

  const Scenario& s = *scenario;
  auto role = [&](int obj, int idx) { return SetOf(s, s.objects[obj])->pictures.at(idx).role; };

  // What the workstation would know after its load.
  std::vector<int> idx;
  for (const auto& line : client.Request("GETMAPOBJ", static_cast<int>(s.objects.size()) + 1))
    if (line.rfind("OBJ=", 0) == 0) idx.push_back(*orvexsim::FindIntKey(line, " IDX="));
  ASSERT_EQ(idx.size(), s.objects.size());
  std::map<std::string, int> counters;
  ASSERT_TRUE(client.Send("GETMAP"));
  const auto map_lines = client.ListUntilEnd();  // kept: a loop over *temporary would dangle
  ASSERT_TRUE(map_lines.has_value());
  for (const auto& line : *map_lines) {
    if (auto v = orvexsim::FindIntKey(line, " VALUE=")) counters[line.substr(0, line.find(' '))] = *v;
    if (line.rfind("SPEAKER", 0) == 0) counters["SPEAKER"] = *orvexsim::FindIntKey(line, " CALL=");
  }

  const std::regex date(R"(\d\d\.\d\d\.\d{4})"), time(R"(\d\d:\d\d:\d\d)");
  std::map<StateRole, int> started, ended;
  int plays = 0, logs = 0, housesInAlarm = 0;
  for (int second = 0; second < 1800; ++second) {
    sim.server.StepLive(1);
    ASSERT_TRUE(client.Send("GETCHANGES"));
    auto lines = client.ListUntilEnd();
    ASSERT_TRUE(lines.has_value());
    std::set<int> changed, logged;
    for (const auto& line : *lines) {
      if (line.rfind("UPDATE", 0) == 0) {
        const int obj = *orvexsim::FindIntKey(line, " OBJ=");
        const int before = idx.at(obj);
        idx.at(obj) = *orvexsim::FindIntKey(line, " IDX=");
        changed.insert(obj);
        if (role(obj, idx[obj]) == StateRole::Normal)
          ++ended[role(obj, before)];
        else
          ++started[role(obj, idx[obj])];
      } else if (line.rfind("LOG", 0) == 0) {
        ++logs;
        const int obj = *orvexsim::FindIntKey(line, " OBJ=");
        logged.insert(obj);
        ASSERT_TRUE(orvexsim::FindIntKey(line, " COLOR=").has_value()) << line;
        ASSERT_TRUE(orvexsim::FindIntKey(line, " FONTCOLOR=").has_value()) << line;
        EXPECT_TRUE(std::regex_match(orvexsim::FindQuotedKey(line, " T0=").value_or(""), date)) << line;
        EXPECT_TRUE(std::regex_match(orvexsim::FindQuotedKey(line, " T1=").value_or(""), time)) << line;
        EXPECT_EQ(orvexsim::FindQuotedKey(line, " T2="), s.objects.at(obj).name) << line;
        EXPECT_EQ(orvexsim::FindQuotedKey(line, " T3="), s.objects.at(obj).place) << line;
        EXPECT_FALSE(orvexsim::FindQuotedKey(line, " T4=").value_or("").empty()) << line;
        EXPECT_FALSE(orvexsim::FindQuotedKey(line, " T5=").value_or("").empty()) << line;
      } else if (line.rfind("PLAY", 0) == 0) {
        ++plays;
        EXPECT_TRUE(orvexsim::FindQuotedKey(line, " WAVE=").has_value()) << line;
      } else if (line.rfind("SPEAKER", 0) == 0) {
        counters["SPEAKER"] = *orvexsim::FindIntKey(line, " CALL=");
      } else if (auto v = orvexsim::FindIntKey(line, " VALUE=")) {
        counters[line.substr(0, line.find(' '))] = *v;
      }
    }
    // Every change of state is written to the journal; a house's summary of
    // its lifts follows theirs without a line of its own.
    std::set<int> summaries;
    for (int obj : changed)
      if (!s.objects.at(obj).summarises.empty()) summaries.insert(obj);
    for (int obj : summaries) changed.erase(obj);
    EXPECT_EQ(changed, logged) << "second " << second;
    for (size_t house = 0; house < s.objects.size(); ++house) {
      const auto& lifts = s.objects[house].summarises;
      if (lifts.empty()) continue;
      bool call = false, allInService = true;
      for (int lift : lifts) {
        call |= role(lift, idx[lift]) == StateRole::CabinCall;
        allInService &= role(lift, idx[lift]) == StateRole::Normal;
      }
      // Its picture is that of a calling cabin while one calls, that of
      // service only while all are in service.
      if (call) EXPECT_EQ(role(lifts[0], idx[house]), StateRole::CabinCall) << second;
      EXPECT_EQ(idx[house] == 0, allInService) << second;
      if (!allInService) ++housesInAlarm;
    }

    std::map<StateRole, std::vector<int>> shown;
    for (size_t obj = 0; obj < idx.size(); ++obj) shown[role(obj, idx[obj])].push_back(static_cast<int>(obj));
    ASSERT_EQ(counters["LIFTBREAK"], static_cast<int>(shown[StateRole::LiftFault].size())) << second;
    ASSERT_EQ(counters["OHRALR"], static_cast<int>(shown[StateRole::LoopTriggered].size())) << second;
    ASSERT_EQ(counters["PUERR"], static_cast<int>(shown[StateRole::IntercomFault].size())) << second;
    ASSERT_EQ(counters["SPEAKER"], shown[StateRole::CabinCall].empty() ? 0 : 1) << second;
    if (second % 300 == 299) {
      const std::pair<const char*, StateRole> reports[] = {{"MOUSEDOWN LIFTBREAK", StateRole::LiftFault},
                                                           {"MOUSEDOWN OHRALR", StateRole::LoopTriggered},
                                                           {"MOUSEDOWN PUERR", StateRole::IntercomFault}};
      for (const auto& [request, r] : reports) {
        ASSERT_TRUE(client.Send(request));
        std::vector<int> rows;
        const auto report = client.ListUntilEnd();
        ASSERT_TRUE(report.has_value()) << request;
        for (const auto& line : *report)
          if (line.rfind("VIEW ", 0) == 0) rows.push_back(*orvexsim::FindIntKey(line, " OBJ="));
        EXPECT_EQ(rows, shown[r]) << request << " at second " << second;
      }
    }
  }
  // Half an hour of a district: lifts fail and are repaired, loops trigger and
  // are restored, cabins call, intercom units fail, links drop and come back.
  for (StateRole r : {StateRole::LiftFault, StateRole::LoopTriggered, StateRole::CabinCall,
                      StateRole::IntercomFault, StateRole::NoLink}) {
    EXPECT_GT(started[r], 0) << orvexsim::StateRoleName(r);
    EXPECT_GT(ended[r], 0) << orvexsim::StateRoleName(r);
  }
  EXPECT_GT(plays, 10);
  EXPECT_GT(housesInAlarm, 0);  // the hall's lifts are on the district map too
  EXPECT_GT(logs, 60);
  // Now and then the district falls quiet for a while.
  EXPECT_GT(s.feed.live.pauseChance, 0.0);
}

}  // namespace
