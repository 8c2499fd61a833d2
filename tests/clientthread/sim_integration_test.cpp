// The connection thread against orvex-sim started in-process on an ephemeral
// loopback port: the full load, the feed, the cache, reloads, refusals, the
// server's faults on purpose, requests, and stopping.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "clientthread/client_fixture.h"
#include "sim/test_scenario.h"
#include "support/prompt.h"
#include "tools/orvex-sim/server.h"
#include "tools/orvex-sim/wire.h"

namespace vertamo {
namespace {

using namespace std::chrono_literals;
using orvexsim::Fault;
using orvexsim::FaultKind;
using orvexsim::Step;

class SimClient : public testing::ClientFixture {
 protected:
  SimClient() {
    cache = true;
    timings.pauseMs = 200;
  }
  ~SimClient() override {
    if (client) StopClient();
    client.reset();
    sim.Stop();
  }

  void StartSim(std::vector<Fault> faults = {}) {
    auto options = simtest::QuietOptions();
    options.faults = std::move(faults);
    std::string error;
    ASSERT_TRUE(sim.Start(scenario, options, &error)) << error;
  }

  void StartSimClient(const char* login = "disp", const char* password = "123") {
    SERVERINFO p = Profile(sim.Port());
    SetProfileText(p.Login, login);
    SetProfileText(p.Password, password);
    client = std::make_unique<TOrvexClientThread>(p, folder.folder(), recorder, main, &sound);
    client->SetTimings(timings);
    client->Start();
  }

  // Waits until the cache holds `n` picture files (they are written on a thread
  // of their own while the load goes on).
  bool WaitCacheFiles(int n, int timeoutMs = 20000) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (std::chrono::steady_clock::now() < end) {
      int count = 0;
      std::error_code ec;
      for (const auto& entry : std::filesystem::directory_iterator(folder.file("Cache"), ec))
        if (entry.path().extension() == ".png") ++count;
      if (count >= n) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return false;
  }
  static constexpr int kCachedPictures = 9;  // one background, sets of 4, 2 and 2 pictures

  // Request lines of one connection, in order.
  std::vector<std::string> Requests(int connection) const {
    std::vector<std::string> out;
    for (const auto& r : sim.Record())
      if (r.connection == connection) out.push_back(r.line);
    return out;
  }
  static int CountPrefix(const std::vector<std::string>& lines, std::string_view prefix) {
    return static_cast<int>(std::count_if(lines.begin(), lines.end(), [&](const std::string& l) {
      return l.compare(0, prefix.size(), prefix) == 0;
    }));
  }

  std::shared_ptr<orvexsim::Scenario> scenario = simtest::MakeTestScenario();
  orvexsim::Server sim;
};

constexpr const char* kFullBuild = "BuildMaps maps=2 objects=5 texts=2";

TEST_F(SimClient, LoadsEverythingThenFollowsTheFeed) {
  StartSim();
  StartSimClient();
  ASSERT_TRUE(recorder.WaitFor("Status Обновление: 1")) << ClientLogText();
  EXPECT_EQ(recorder.Matching("BuildMaps"), std::vector<std::string>{kFullBuild});

  // What the load posted: the layout of counters, clock and speaker.
  EXPECT_EQ(recorder.Matching("CounterLayout"),
            (std::vector<std::string>{"CounterLayout LiftB 10,11,60,24 Tahoma",
                                      "CounterLayout OhrAlr 80,11,60,24 Tahoma",
                                      "CounterLayout PuErr 150,11,60,24 Arial"}));
  EXPECT_EQ(recorder.Count("ClockLayout 220,11,100,24 Arial"), 1);
  EXPECT_EQ(recorder.Count("SpeakerLayout 330,11,32,32"), 1);
  // The model as the main window finds it at BuildMaps.
  ASSERT_EQ(model.MapList.Count(), 2);
  ASSERT_TRUE(model.MapList.Get(0)->Picture);
  EXPECT_EQ(model.MapList.Get(0)->Picture->Pixels.width, 40);
  EXPECT_FALSE(model.MapList.Get(1)->Picture);
  EXPECT_EQ(model.PictureSets.Count(), 3);
  ASSERT_NE(model.ObjectList.Get(4)->Pictures, nullptr);
  EXPECT_EQ(model.ObjectList.Get(0)->Pictures, model.ObjectList.Get(1)->Pictures);

  // The feed: objects, counters, speaker, journal, sound.
  sim.Broadcast(
      {"UPDATE OBJ=0 IDX=1 CAPTION=\"Авария\"", "SPEAKER CALL=1",
       "LOG OBJ=0 COLOR=255 FONTCOLOR=0 T0=\"01.01\" T1=\"10:00\" T2=\"Лифт 1\" T3=\"ул. Ленина, 5\" "
       "T4=\"Неисправен\" T5=\"\"",
       "PLAY WAVE=\"alarm.wav\""});
  ASSERT_TRUE(recorder.WaitFor("SpeakerCall 1"));
  ASSERT_TRUE(recorder.WaitFor("Log 0 255 0"));
  EXPECT_TRUE(recorder.WaitFor("CounterValue LiftB 2"));  // the server's counter follows the object
  EXPECT_EQ(recorder.Count("State 0 1 changed"), 1);
  EXPECT_EQ(
      recorder.Matching("Log"),
      (std::vector<std::string>{"Log 0 255 0 [01.01] [10:00] [Лифт 1] [ул. Ленина, 5] [Неисправен] []"}));
  EXPECT_EQ(Cp1251ToUtf8(model.ObjectList.Get(0)->Caption.str()), "Авария");
  EXPECT_EQ(model.ObjectList.Get(0)->Idx, 1);
  EXPECT_EQ(sound.Plays(), std::vector<std::string>{"alarm.wav"});
  EXPECT_EQ(recorder.WrongThreadCalls(), 0);
}

TEST_F(SimClient, ASecondConnectionTakesThePicturesFromTheCache) {
  StartSim();
  StartSimClient();
  ASSERT_TRUE(recorder.WaitFor("BuildMaps"));
  ASSERT_TRUE(WaitCacheFiles(kCachedPictures));
  StopClient();
  client.reset();
  recorder.Reset();
  StartSimClient();
  ASSERT_TRUE(recorder.WaitFor("BuildMaps")) << ClientLogText();
  const auto first = Requests(0), second = Requests(1);
  EXPECT_EQ(CountPrefix(first, "GETPICTMAP MAP="), 1);
  EXPECT_EQ(CountPrefix(first, "GETPICTIML OBJ="), 3);
  EXPECT_EQ(CountPrefix(second, "GETPICTMAPCS MAP="), 1);
  EXPECT_EQ(CountPrefix(second, "GETPICTIMLCS OBJ="), 3);
  EXPECT_EQ(CountPrefix(second, "GETPICTMAP MAP="), 0);
  EXPECT_EQ(CountPrefix(second, "GETPICTIML OBJ="), 0);
  EXPECT_EQ(recorder.Matching("BuildMaps"), std::vector<std::string>{kFullBuild});
  EXPECT_EQ(model.ObjectList.Get(3)->Pictures->Count(), 2);
}

TEST_F(SimClient, AChecksumMismatchFallsBackToTheDownload) {
  StartSim({Fault{FaultKind::BadChecksum, Step::GetPictImlCs, 1, 0}});
  StartSimClient();
  ASSERT_TRUE(recorder.WaitFor("BuildMaps"));
  ASSERT_TRUE(WaitCacheFiles(kCachedPictures));
  StopClient();
  client.reset();
  StartSimClient();
  ASSERT_TRUE(recorder.WaitCount("BuildMaps", 2)) << ClientLogText();
  const auto second = Requests(1);
  const auto cs = std::find(second.begin(), second.end(), "GETPICTIMLCS OBJ=0");
  ASSERT_NE(cs, second.end());
  ASSERT_NE(cs + 1, second.end());
  EXPECT_EQ(*(cs + 1), "GETPICTIML OBJ=0");  // right after the mismatch
  EXPECT_EQ(CountPrefix(second, "GETPICTIML OBJ="), 1);
  EXPECT_NE(ClientLogText().find("Неcовпадение CS"), std::string::npos);
}

TEST_F(SimClient, ReloadPausesAndLoadsEverythingAgain) {
  StartSim();
  StartSimClient();
  ASSERT_TRUE(recorder.WaitFor("Status Обновление: 1"));
  sim.Broadcast({"RELOAD"});
  ASSERT_TRUE(recorder.WaitCount("BuildMaps", 2));
  const auto events = recorder.Events();
  const auto second = std::find(events.begin() + 1, events.end(), "ClearMaps");
  ASSERT_NE(second, events.end());
  EXPECT_EQ(*(second + 1), "Status Пауза...");
  EXPECT_EQ(sim.ConnectionsAccepted(), 2);
  EXPECT_EQ(recorder.Matching("BuildMaps"), (std::vector<std::string>{kFullBuild, kFullBuild}));
}

TEST_F(SimClient, AWrongLoginEndsTheThreadWithStageSix) {
  StartSim();
  StartSimClient("disp", "wrong");
  ASSERT_TRUE(WaitFinished());
  EXPECT_EQ(client->Stage(), kStageRefused);
  EXPECT_EQ(sim.ConnectionsAccepted(), 1);
}

TEST_F(SimClient, RequestsAreAnsweredWhilePollingAndFailWhileLoading) {
  StartSim({Fault{FaultKind::Delay, Step::GetText, 0, 0, 1500}});
  timings.commandWaitMs = 300;
  timings.listCommandWaitMs = 300;
  StartSimClient();
  ASSERT_TRUE(WaitStage(kStageTexts));
  EXPECT_FALSE(SendCommand("MOUSEDOWN OBJ=0"));  // still loading
  EXPECT_FALSE(SendListCommand("MOUSEDOWN LIFTBREAK"));
  ASSERT_TRUE(WaitStage(kStagePolling));
  main.Run([&] {
    client->SetRequestWaits(1000, 2000);
    return 0;
  });
  ASSERT_TRUE(SendCommand("MOUSEDOWN OBJ=0"));
  EXPECT_EQ(Cp1251ToUtf8(answer.line).substr(0, 13), "OBJ=0 TYPE=1 ");
  ASSERT_TRUE(SendListCommand("MOUSEDOWN LIFTBREAK"));
  const auto list = answer.lines;
  ASSERT_EQ(list.size(), 2u);  // the header and the one faulty lift
  EXPECT_EQ(list[0].substr(0, 10), "VIEWHEADER");
  EXPECT_EQ(Cp1251ToUtf8(list[1]).rfind("VIEW T1=\"Лифт 2\"", 0), 0u) << Cp1251ToUtf8(list[1]);
}

// Requests while the server floods every poll with UPDATE lines: each is
// answered, and the feed goes on, everything on the main thread.
TEST_F(SimClient, RequestsDuringAFloodAreAllAnswered) {
  auto options = simtest::QuietOptions();
  options.floodLinesPerPoll = 300;
  std::string error;
  ASSERT_TRUE(sim.Start(scenario, options, &error)) << error;
  timings.pollPeriodMs = 1;
  // Generous waits for a loaded machine: what is tested is that every
  // request finds its turn between the exchanges.
  timings.commandWaitMs = 3000;
  timings.listCommandWaitMs = 3000;
  StartSimClient();
  ASSERT_TRUE(recorder.WaitFor("Status Обновление: 1")) << ClientLogText();
  constexpr int kRequests = 120;
  int lines = 0, lists = 0;
  std::vector<std::string> wrong;
  for (int i = 0; i < kRequests; ++i) {
    if (i % 2 == 0) {
      if (!SendCommand("MOUSEDOWN OBJ=0")) continue;
      ++lines;
      const std::string reply = Cp1251ToUtf8(answer.line);
      if (reply.rfind("OBJ=0 TYPE=1 ", 0) != 0) wrong.push_back(reply);
    } else {
      if (!SendListCommand("MOUSEDOWN LIFTBREAK")) continue;
      ++lists;
      if (answer.lines.front().rfind("VIEWHEADER", 0) != 0) wrong.push_back(Cp1251ToUtf8(answer.lines.front()));
    }
    std::this_thread::sleep_for(std::chrono::microseconds(500 * (i % 7)));
  }
  EXPECT_EQ(lines, kRequests / 2);
  EXPECT_EQ(lists, kRequests / 2);
  EXPECT_EQ(wrong, std::vector<std::string>{});
  // The feed went on meanwhile.
  EXPECT_GE(recorder.Count("Status Обновление: "), 10);
  EXPECT_EQ(client->Stage(), kStagePolling);
  EXPECT_EQ(sim.ConnectionsAccepted(), 1);
  EXPECT_EQ(recorder.WrongThreadCalls(), 0);
}

// Every fault of the server on purpose, on the first connection only: the client
// neither crashes nor hangs and ends up polling a fully loaded catalogue.
struct FaultCase {
  const char* name;
  Fault fault;
  bool sameConnection;     // the load survives the fault without a reconnection
  bool warmCache = false;  // the fault needs cached pictures (a checksum step)
};

class SimFaults : public SimClient, public ::testing::WithParamInterface<FaultCase> {};

TEST_P(SimFaults, AreSurvived) {
  const FaultCase& c = GetParam();
  timings.readTimeoutMs = 1000;  // a stalled answer fails the step within a second
  timings.pollPeriodMs = 200;
  Fault fault = c.fault;
  if (c.warmCache) {
    fault.connection = 1;
    StartSim({fault});
    StartSimClient();
    ASSERT_TRUE(recorder.WaitFor("BuildMaps"));
    ASSERT_TRUE(WaitCacheFiles(kCachedPictures));
    StopClient();
    client.reset();
    recorder.Reset();
  } else {
    fault.connection = 0;
    StartSim({fault});
  }
  StartSimClient();
  ASSERT_TRUE(recorder.WaitFor(kFullBuild, 30000)) << c.name << "\n" << ClientLogText();
  ASSERT_TRUE(recorder.WaitFor("Status Обновление: 2", 30000)) << c.name;
  const int connections = sim.ConnectionsAccepted() - (c.warmCache ? 1 : 0);
  if (c.sameConnection)
    EXPECT_EQ(connections, 1) << c.name;
  else
    EXPECT_GE(connections, 2) << c.name;
  EXPECT_EQ(client->Stage(), kStagePolling);
}

Fault F(FaultKind kind, Step step, int delayMs = 0, int value = 0) {
  Fault f;
  f.kind = kind;
  f.step = step;
  f.occurrence = -1;
  f.delayMs = delayMs;
  f.value = value;
  return f;
}

INSTANTIATE_TEST_SUITE_P(
    EveryFault, SimFaults,
    ::testing::Values(
        FaultCase{"garbled_prompt", F(FaultKind::GarblePrompt, Step::Greeting), false},
        FaultCase{"drop_greeting", F(FaultKind::Drop, Step::Greeting), false},
        FaultCase{"drop_login", F(FaultKind::Drop, Step::Login), false},
        FaultCase{"drop_getmap", F(FaultKind::Drop, Step::GetMap), false},
        FaultCase{"drop_getmapobj", F(FaultKind::Drop, Step::GetMapObj), false},
        FaultCase{"drop_getpictmap", F(FaultKind::Drop, Step::GetPictMap), false},
        FaultCase{"drop_getpictiml", F(FaultKind::Drop, Step::GetPictIml), false},
        FaultCase{"drop_gettext", F(FaultKind::Drop, Step::GetText), false},
        FaultCase{"drop_getchanges", F(FaultKind::Drop, Step::GetChanges), false},
        FaultCase{"drop_mid_map_data", F(FaultKind::DropMidData, Step::GetPictMap), false},
        FaultCase{"drop_mid_set_data", F(FaultKind::DropMidData, Step::GetPictIml), false},
        FaultCase{"drop_mid_getmapobj", F(FaultKind::DropMidReply, Step::GetMapObj), false},
        FaultCase{"drop_mid_gettext", F(FaultKind::DropMidReply, Step::GetText), false},
        FaultCase{"stall_login", F(FaultKind::Stall, Step::Login), false},
        FaultCase{"stall_getmapobj", F(FaultKind::Stall, Step::GetMapObj), false},
        FaultCase{"stall_getpictiml", F(FaultKind::Stall, Step::GetPictIml), false},
        FaultCase{"stall_getchanges", F(FaultKind::Stall, Step::GetChanges), false},
        FaultCase{"drip_getmap", F(FaultKind::Drip, Step::GetMap, 1), true},
        FaultCase{"delay_getpictmap", F(FaultKind::Delay, Step::GetPictMap, 300), true},
        FaultCase{"wrong_number_getmap", F(FaultKind::WrongRecordNumber, Step::GetMap), false},
        FaultCase{"wrong_number_getmapobj", F(FaultKind::WrongRecordNumber, Step::GetMapObj), false},
        FaultCase{"wrong_number_gettext", F(FaultKind::WrongRecordNumber, Step::GetText), false},
        FaultCase{"wrong_number_getpictmap", F(FaultKind::WrongRecordNumber, Step::GetPictMap), false},
        FaultCase{"wrong_number_getpictiml", F(FaultKind::WrongRecordNumber, Step::GetPictIml), false},
        FaultCase{"missing_key_getmap", F(FaultKind::MissingKey, Step::GetMap), false},
        FaultCase{"missing_key_getmapobj", F(FaultKind::MissingKey, Step::GetMapObj), false},
        FaultCase{"missing_key_gettext", F(FaultKind::MissingKey, Step::GetText), false},
        FaultCase{"base64_length_map", F(FaultKind::Base64WrongLength, Step::GetPictMap), false},
        FaultCase{"base64_length_set", F(FaultKind::Base64WrongLength, Step::GetPictIml), false},
        FaultCase{"not_png_map", F(FaultKind::NotPng, Step::GetPictMap), false},
        FaultCase{"not_png_set", F(FaultKind::NotPng, Step::GetPictIml), false},
        FaultCase{"bad_checksum_map", F(FaultKind::BadChecksum, Step::GetPictMapCs), true, true},
        FaultCase{"bad_checksum_set", F(FaultKind::BadChecksum, Step::GetPictImlCs), true, true},
        FaultCase{"reload", F(FaultKind::Reload, Step::GetChanges), false},
        FaultCase{"update_without_obj", F(FaultKind::UpdateWithoutObj, Step::GetChanges), false},
        FaultCase{"overlong_line_getmap", F(FaultKind::OverlongLine, Step::GetMap), false},
        FaultCase{"lower_case_login", F(FaultKind::LowerCase, Step::Login), true},
        FaultCase{"lower_case_getmap", F(FaultKind::LowerCase, Step::GetMap), true},
        FaultCase{"lower_case_getchanges", F(FaultKind::LowerCase, Step::GetChanges), true},
        FaultCase{"lf_before_cr_getmapobj", F(FaultKind::LfBeforeCr, Step::GetMapObj), true},
        FaultCase{"extra_lines_getmap", F(FaultKind::ExtraLines, Step::GetMap), true},
        FaultCase{"extra_lines_getpictiml", F(FaultKind::ExtraLines, Step::GetPictIml), true},
        FaultCase{"extra_lines_getchanges", F(FaultKind::ExtraLines, Step::GetChanges), true},
        FaultCase{"wrong_prefix_getmapobj", F(FaultKind::WrongPrefix, Step::GetMapObj), false},
        FaultCase{"wrong_prefix_getpictmap", F(FaultKind::WrongPrefix, Step::GetPictMap), false}),
    [](const auto& info) { return std::string(info.param.name); });

// Stopping while the server stalls at each step of the load and the feed.
class SimStop : public SimClient, public ::testing::WithParamInterface<std::pair<Step, int>> {};

TEST_P(SimStop, DuringEveryStepReturnsPromptly) {
  const auto [step, stage] = GetParam();
  StartSim({F(FaultKind::Stall, step)});
  for (int round = 0; round < 3; ++round) {
    recorder.Reset();
    StartSimClient();
    ASSERT_TRUE(WaitStage(stage)) << client->Stage();
    // Polling is also the stage of the pause between polls: stop in the exchange.
    if (step == Step::GetChanges) {
      const auto polled = [&] { return CountPrefix(Requests(round), "GETCHANGES") > 0; };
      for (int i = 0; i < 20000 && !polled(); ++i) std::this_thread::sleep_for(1ms);
      ASSERT_TRUE(polled());
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20 * round));
    ASSERT_LT(testing::MillisecondsOf([&] { StopClient(); }), testing::kPromptMs) << "round " << round;
    EXPECT_EQ(client->Stage(), kStageStopped);
    client.reset();
  }
}

INSTANTIATE_TEST_SUITE_P(
    EveryStep, SimStop,
    ::testing::Values(std::pair{Step::Greeting, kStageLogin}, std::pair{Step::Login, kStageAuthorising},
                      std::pair{Step::GetMap, kStageMaps}, std::pair{Step::GetMapObj, kStageObjects},
                      std::pair{Step::GetPictMap, kStageBackgrounds},
                      std::pair{Step::GetPictIml, kStagePictures}, std::pair{Step::GetText, kStageTexts},
                      std::pair{Step::GetChanges, kStagePolling}),
    [](const auto& info) { return std::string(orvexsim::StepName(info.param.first)); });

}  // namespace
}  // namespace vertamo
