// The change feed: scripted timeline, broadcast lines, the seeded live
// generator, flood mode, and counters and reports that always agree with what
// the client's objects show.
#include <gtest/gtest.h>

#include <map>
#include <regex>

#include "sim/raw_client.h"
#include "sim/test_scenario.h"
#include "tools/orvex-sim/wire.h"

namespace {

using orvexsim::StateRole;
using simtest::LogIn;
using simtest::RawClient;
using simtest::SimServer;

std::vector<std::string> Poll(RawClient& client) {
  EXPECT_TRUE(client.Send("GETCHANGES"));
  auto lines = client.ListUntilEnd();
  EXPECT_TRUE(lines.has_value());
  return lines.value_or(std::vector<std::string>{});
}

TEST(SimFeed, AnAnswerWithNothingNewIsEndAlone) {
  SimServer sim;
  ASSERT_TRUE(sim.started) << sim.error;
  RawClient client;
  LogIn(client, sim.server);
  for (int i = 0; i < 3; ++i) EXPECT_EQ(Poll(client), std::vector<std::string>{});
}

TEST(SimFeed, TimelineLinesComeAtTheirPollInOrder) {
  auto scenario = simtest::MakeTestScenario();
  scenario->feed.timeline = {
      {1,
       std::nullopt,
       {"LOG OBJ=0 COLOR=1 FONTCOLOR=2 T0=\"а\" T1=\"б\" T2=\"в\" T3=\"г\" T4=\"д\" T5=\"е\""}},
      {3, std::nullopt, {"UPDATE OBJ=2 IDX=1", "PLAY WAVE=\"тревога.wav\""}},
      {std::nullopt, 0.0, {"RELOAD"}},
      {std::nullopt, 3600.0, {"NEVER"}},
  };
  SimServer sim(scenario);
  ASSERT_TRUE(sim.started) << sim.error;
  RawClient client;
  LogIn(client, sim.server);
  EXPECT_EQ(
      Poll(client),
      (std::vector<std::string>{
          "LOG OBJ=0 COLOR=1 FONTCOLOR=2 T0=\"а\" T1=\"б\" T2=\"в\" T3=\"г\" T4=\"д\" T5=\"е\"", "RELOAD"}));
  EXPECT_EQ(Poll(client), std::vector<std::string>{});
  EXPECT_EQ(Poll(client), (std::vector<std::string>{"UPDATE OBJ=2 IDX=1", "PLAY WAVE=\"тревога.wav\"",
                                                    "OHRALR VALUE=1"}));  // the counter follows the object
  EXPECT_EQ(Poll(client), std::vector<std::string>{});

  // Each connection has its own timeline.
  RawClient second;
  LogIn(second, sim.server);
  EXPECT_EQ(Poll(second).size(), 2u);
}

TEST(SimFeed, WithoutDerivedCountersTheLayoutValuesAndScriptedLinesStand) {
  auto scenario = simtest::MakeTestScenario();
  scenario->feed.deriveCounters = false;
  scenario->layout.liftBreak.value = 7;
  scenario->layout.speaker.call = 1;
  scenario->feed.timeline = {{1, std::nullopt, {"UPDATE OBJ=0 IDX=1", "PUERR VALUE=5"}}};
  SimServer sim(scenario);
  ASSERT_TRUE(sim.started) << sim.error;
  RawClient client;
  LogIn(client, sim.server);
  ASSERT_TRUE(client.Send("GETMAP"));
  auto map = client.ListUntilEnd();
  ASSERT_TRUE(map.has_value());
  EXPECT_NE(std::find(map->begin(), map->end(), "LIFTBREAK X=10 Y=11 W=60 H=24 FONTNAME=\"Tahoma\" VALUE=7"),
            map->end());
  EXPECT_NE(std::find(map->begin(), map->end(), "SPEAKER X=330 Y=11 W=32 H=32 CALL=1"), map->end());
  EXPECT_EQ(Poll(client), (std::vector<std::string>{"UPDATE OBJ=0 IDX=1", "PUERR VALUE=5"}));
}

TEST(SimFeed, BroadcastLinesReachEveryConnectionAndChangeTheDistrict) {
  SimServer sim;
  ASSERT_TRUE(sim.started) << sim.error;
  RawClient early;
  LogIn(early, sim.server);
  sim.server.Broadcast({"UPDATE OBJ=3 IDX=1 HINT=\"Нет ответа\"", "PLAY WAVE=\"pu.wav\""});
  EXPECT_EQ(Poll(early), (std::vector<std::string>{"UPDATE OBJ=3 IDX=1 HINT=\"Нет ответа\"",
                                                   "PLAY WAVE=\"pu.wav\"", "PUERR VALUE=1"}));
  EXPECT_EQ(sim.server.CountsNow(), (orvexsim::Counts{1, 0, 1, 0}));

  // A connection that logs in later is shown the district as it is now.
  RawClient late;
  LogIn(late, sim.server);
  auto objects = late.Request("GETMAPOBJ", 6);
  ASSERT_EQ(objects.size(), 6u);
  EXPECT_EQ(objects[4],
            "OBJ=3 MAP=1 X=10 Y=30 NAME=\"ПУ 1\" TYPE=3 IML=\"pu\" PCOUNT=2 IDX=1 HINT=\"Нет ответа\" "
            "CAPTION=\"ПУ\" "
            "CAPCOLOR=255");
  ASSERT_TRUE(late.Send("GETMAP"));
  auto map = late.ListUntilEnd();
  ASSERT_TRUE(map.has_value());
  EXPECT_NE(std::find(map->begin(), map->end(), "PUERR X=150 Y=11 W=60 H=24 FONTNAME=\"Arial\" VALUE=1"),
            map->end());
  EXPECT_EQ(Poll(late), std::vector<std::string>{});
  ASSERT_TRUE(late.Send("MOUSEDOWN PUERR"));
  auto report = late.ListUntilEnd();
  ASSERT_TRUE(report.has_value());
  ASSERT_EQ(report->size(), 2u);
  EXPECT_EQ((*report)[1], "VIEW T1=\"ПУ 1\" T2=\"ул. Мира, 1\" T3=\"Неисправно\" OBJ=3");
}

std::shared_ptr<orvexsim::Scenario> LiftFaultScenario() {
  auto scenario = simtest::MakeTestScenario();
  auto& live = scenario->feed.live;
  live.enabled = true;
  live.eventsPerMinute = 60;  // one event each second
  orvexsim::LiveEventKind fault;
  fault.role = StateRole::LiftFault;
  fault.objectTypes = {1};
  fault.minDurationSec = fault.maxDurationSec = 2;
  fault.eventText = "Лифт неисправен";
  fault.endText = "Лифт исправен";
  fault.note = "Авария";
  fault.color = 255;
  fault.fontColor = 16777215;
  fault.endColor = 65280;
  fault.endFontColor = 0;
  fault.wave = "fault.wav";
  fault.hint = "Неисправен!";
  live.kinds = {fault};
  return scenario;
}

TEST(SimLive, AnEventChangesTheObjectWritesTheJournalAndPlaysItsSound) {
  SimServer sim(LiftFaultScenario());
  ASSERT_TRUE(sim.started) << sim.error;
  RawClient client;
  LogIn(client, sim.server);
  sim.server.StepLive(1);
  auto lines = Poll(client);
  ASSERT_EQ(lines.size(), 4u);
  std::smatch m;
  ASSERT_TRUE(std::regex_match(lines[0], m, std::regex("UPDATE OBJ=([04]) IDX=1 HINT=\"(.*)\""))) << lines[0];
  const std::string obj = m[1];
  const std::string name = obj == "0" ? "Лифт 1" : "Лифт 3";
  const std::string place = obj == "0" ? "ул. Ленина, 5" : "ул. Мира, 1";
  EXPECT_EQ(m[2].str(), "Неисправен!");
  EXPECT_TRUE(std::regex_match(
      lines[1], std::regex("LOG OBJ=" + obj +
                           " COLOR=255 FONTCOLOR=16777215 T0=\"\\d\\d\\.\\d\\d\\.20\\d\\d\" "
                           "T1=\"\\d\\d:\\d\\d:\\d\\d\" T2=\"" +
                           name + "\" T3=\"" + place + "\" T4=\"Лифт неисправен\" T5=\"Авария\"")))
      << lines[1];
  EXPECT_EQ(lines[2], "PLAY WAVE=\"fault.wav\"");
  EXPECT_EQ(lines[3], "LIFTBREAK VALUE=2");

  // Two seconds later it is repaired, and the hint of the scenario comes back.
  sim.server.StepLive(2);
  lines = Poll(client);
  auto repaired = std::find_if(lines.begin(), lines.end(), [&](const std::string& l) {
    return l.rfind("UPDATE OBJ=" + obj + " IDX=0", 0) == 0;
  });
  ASSERT_NE(repaired, lines.end());
  EXPECT_NE(repaired->find("HINT=\""), std::string::npos);
  EXPECT_NE(std::find_if(lines.begin(), lines.end(),
                         [&](const std::string& l) {
                           return l.rfind("LOG OBJ=" + obj + " COLOR=65280 FONTCOLOR=0", 0) == 0 &&
                                  l.find("T4=\"Лифт исправен\"") != std::string::npos;
                         }),
            lines.end());
}

std::vector<std::string> Generated(uint64_t seed) {
  auto options = simtest::QuietOptions();
  options.seed = seed;
  auto scenario = LiftFaultScenario();
  scenario->feed.live.eventsPerMinute = 30;
  scenario->feed.live.kinds[0].minDurationSec = 1;
  scenario->feed.live.kinds[0].maxDurationSec = 9;
  SimServer sim(scenario, options);
  EXPECT_TRUE(sim.started) << sim.error;
  RawClient client;
  LogIn(client, sim.server);
  std::vector<std::string> all;
  for (int i = 0; i < 40; ++i) {
    sim.server.StepLive(1);
    auto lines = Poll(client);
    all.insert(all.end(), lines.begin(), lines.end());
  }
  return all;
}

TEST(SimLive, TheSameSeedGivesTheSameFeed) {
  auto a = Generated(42);
  EXPECT_FALSE(a.empty());
  EXPECT_EQ(a, Generated(42));
  EXPECT_NE(a, Generated(43));
}

TEST(SimLive, AnsweringACabinCallEndsIt) {
  auto scenario = simtest::MakeTestScenario();
  scenario->feed.live.enabled = true;
  scenario->feed.live.eventsPerMinute = 60;
  orvexsim::LiveEventKind call;
  call.role = StateRole::CabinCall;
  call.objectTypes = {1};
  call.maxDurationSec = 0;  // until answered
  call.eventText = "Вызов из кабины";
  call.endText = "Вызов принят";
  scenario->feed.live.kinds = {call};
  SimServer sim(scenario);
  ASSERT_TRUE(sim.started) << sim.error;
  RawClient client;
  LogIn(client, sim.server);
  sim.server.StepLive(1);
  auto lines = Poll(client);
  ASSERT_EQ(lines.size(), 3u);
  std::smatch m;
  ASSERT_TRUE(std::regex_match(lines[0], m, std::regex("UPDATE OBJ=([04]) IDX=2")));
  const std::string obj = m[1].str();
  EXPECT_EQ(lines[2], "SPEAKER CALL=1");
  EXPECT_EQ(client.Request("STARTSPEAK OBJ=" + obj + " PU=1", 1), std::vector<std::string>{"OK"});
  lines = Poll(client);
  ASSERT_GE(lines.size(), 2u);
  EXPECT_EQ(lines[0], "UPDATE OBJ=" + obj + " IDX=0");
  EXPECT_NE(lines[1].find("T4=\"Вызов принят\""), std::string::npos);
  EXPECT_EQ(lines.back(), "SPEAKER CALL=0");
}

// The roles of the test scenario's sets, as a client that knows them would count.
StateRole RoleOf(int obj, int idx) {
  static const std::map<int, std::vector<StateRole>> roles = {
      {0, {StateRole::Normal, StateRole::LiftFault, StateRole::CabinCall, StateRole::NoLink}},
      {1, {StateRole::Normal, StateRole::LiftFault, StateRole::CabinCall, StateRole::NoLink}},
      {2, {StateRole::Normal, StateRole::LoopTriggered}},
      {3, {StateRole::Normal, StateRole::IntercomFault}},
      {4, {StateRole::Normal, StateRole::LiftFault}}};
  const auto& list = roles.at(obj);
  return idx >= 0 && idx < static_cast<int>(list.size()) ? list[idx] : StateRole::Normal;
}

TEST(SimLive, CountersAndReportsAlwaysEqualWhatTheObjectsShow) {
  auto scenario = simtest::MakeTestScenario();
  auto& live = scenario->feed.live;
  live.enabled = true;
  live.eventsPerMinute = 50;
  live.pauseChance = 0.05;
  live.pauseMinSec = 1;
  live.pauseMaxSec = 4;
  const StateRole roles[] = {StateRole::LiftFault, StateRole::LoopTriggered, StateRole::IntercomFault,
                             StateRole::CabinCall};
  for (StateRole role : roles) {
    orvexsim::LiveEventKind kind;
    kind.role = role;
    kind.minDurationSec = 1;
    kind.maxDurationSec = 6;
    kind.eventText = "начало";
    kind.endText = "конец";
    live.kinds.push_back(kind);
  }
  auto options = simtest::QuietOptions();
  options.seed = 7;
  SimServer sim(scenario, options);
  ASSERT_TRUE(sim.started) << sim.error;
  RawClient client;
  LogIn(client, sim.server);

  // What the client knows: the states from GETMAPOBJ, the counters from GETMAP.
  std::vector<int> idx;
  for (const auto& line : client.Request("GETMAPOBJ", 6))
    if (line.rfind("OBJ=", 0) == 0) idx.push_back(*orvexsim::FindIntKey(line, " IDX="));
  ASSERT_EQ(idx.size(), 5u);
  std::map<std::string, int> counters;
  ASSERT_TRUE(client.Send("GETMAP"));
  const auto map = client.ListUntilEnd();
  ASSERT_TRUE(map.has_value());
  for (const auto& line : *map) {
    if (auto v = orvexsim::FindIntKey(line, " VALUE=")) counters[line.substr(0, line.find(' '))] = *v;
    if (auto v = orvexsim::FindIntKey(line, " CALL=")) counters["SPEAKER"] = *v;
  }
  int eventsSeen = 0;
  for (int poll = 0; poll < 150; ++poll) {
    sim.server.StepLive(poll % 3);
    for (const auto& line : Poll(client)) {
      if (line.rfind("UPDATE", 0) == 0) {
        idx.at(*orvexsim::FindIntKey(line, " OBJ=")) = *orvexsim::FindIntKey(line, " IDX=");
        ++eventsSeen;
      } else if (line.rfind("SPEAKER", 0) == 0) {
        counters["SPEAKER"] = *orvexsim::FindIntKey(line, " CALL=");
      } else if (auto v = orvexsim::FindIntKey(line, " VALUE=")) {
        counters[line.substr(0, line.find(' '))] = *v;
      }
    }
    std::map<StateRole, std::vector<int>> shown;
    for (int obj = 0; obj < 5; ++obj) shown[RoleOf(obj, idx[obj])].push_back(obj);
    ASSERT_EQ(counters["LIFTBREAK"], static_cast<int>(shown[StateRole::LiftFault].size())) << "poll " << poll;
    ASSERT_EQ(counters["OHRALR"], static_cast<int>(shown[StateRole::LoopTriggered].size()))
        << "poll " << poll;
    ASSERT_EQ(counters["PUERR"], static_cast<int>(shown[StateRole::IntercomFault].size())) << "poll " << poll;
    ASSERT_EQ(counters["SPEAKER"], shown[StateRole::CabinCall].empty() ? 0 : 1) << "poll " << poll;
    if (poll % 10 == 0) {
      const std::pair<const char*, StateRole> reports[] = {{"MOUSEDOWN LIFTBREAK", StateRole::LiftFault},
                                                           {"MOUSEDOWN OHRALR", StateRole::LoopTriggered},
                                                           {"MOUSEDOWN PUERR", StateRole::IntercomFault}};
      for (const auto& [request, role] : reports) {
        ASSERT_TRUE(client.Send(request));
        std::vector<int> rows;
        const auto report = client.ListUntilEnd();
        ASSERT_TRUE(report.has_value());
        for (const auto& line : *report)
          if (line.rfind("VIEW ", 0) == 0) rows.push_back(*orvexsim::FindIntKey(line, " OBJ="));
        ASSERT_EQ(rows, shown[role]) << request << " at poll " << poll;
      }
    }
  }
  EXPECT_GT(eventsSeen, 20);
}

TEST(SimFeed, FloodModeSendsTheAskedNumberOfUpdates) {
  auto options = simtest::QuietOptions();
  options.floodLinesPerPoll = 7;
  SimServer sim(simtest::MakeTestScenario(), options);
  ASSERT_TRUE(sim.started) << sim.error;
  RawClient client;
  LogIn(client, sim.server);
  auto lines = Poll(client);
  const std::vector<std::string> updates = {"UPDATE OBJ=0 IDX=1", "UPDATE OBJ=1 IDX=2", "UPDATE OBJ=2 IDX=1",
                                            "UPDATE OBJ=3 IDX=1", "UPDATE OBJ=4 IDX=1", "UPDATE OBJ=0 IDX=2",
                                            "UPDATE OBJ=1 IDX=3"};
  ASSERT_GE(lines.size(), updates.size());
  EXPECT_EQ(std::vector<std::string>(lines.begin(), lines.begin() + 7), updates);
  // Лифт 1 calls, Лифт 2 has no link, Лифт 3 is faulty (still one faulty lift);
  // the sensor and the intercom unit are alarmed.
  EXPECT_EQ(std::vector<std::string>(lines.begin() + 7, lines.end()),
            (std::vector<std::string>{"OHRALR VALUE=1", "PUERR VALUE=1", "SPEAKER CALL=1"}));
  EXPECT_GE(Poll(client).size(), 7u);
}

TEST(SimFeed, AConnectionThatFellFarBehindIsToldToReload) {
  SimServer sim;
  ASSERT_TRUE(sim.started) << sim.error;
  RawClient client;
  LogIn(client, sim.server);
  sim.server.Broadcast(std::vector<std::string>(200001, "PLAY WAVE=\"x.wav\""));
  EXPECT_EQ(Poll(client), std::vector<std::string>{"RELOAD"});
  // A newcomer starts from the present.
  RawClient late;
  LogIn(late, sim.server);
  EXPECT_EQ(Poll(late), std::vector<std::string>{});
}

}  // namespace
