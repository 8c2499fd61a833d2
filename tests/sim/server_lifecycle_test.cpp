// Many clients at once, stopping with clients connected, and the record of
// requests.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <fstream>
#include <nlohmann/json.hpp>
#include <thread>

#include "sim/raw_client.h"
#include "sim/test_scenario.h"
#include "tools/orvex-sim/wire.h"

namespace {

using simtest::RawClient;
using simtest::SimServer;

// Logs in and loads the whole catalogue with pictures and texts, as the
// workstation does; returns every line received.
std::vector<std::string> FullLoad(uint16_t port) {
  RawClient client;
  std::vector<std::string> all;
  if (!client.Connect(port)) return all;
  auto verdict = client.Login("disp", "123");
  if (verdict != "OK Full") return all;
  client.Send("GETMAP");
  auto maps = client.ListUntilEnd();
  if (!maps) return all;
  all.insert(all.end(), maps->begin(), maps->end());
  auto objects = client.Request("GETMAPOBJ", 6);
  all.insert(all.end(), objects.begin(), objects.end());
  auto map = client.Request("GETPICTMAP MAP=0", 2);
  all.insert(all.end(), map.begin(), map.end());
  for (int obj : {0, 2, 3, 4}) {
    auto set = client.Request("GETPICTIML OBJ=" + std::to_string(obj), obj == 0 ? 5 : 3);
    all.insert(all.end(), set.begin(), set.end());
  }
  auto texts = client.Request("GETTEXT", 3);
  all.insert(all.end(), texts.begin(), texts.end());
  for (int i = 0; i < 3; ++i) {
    client.Send("GETCHANGES");
    auto feed = client.ListUntilEnd();
    if (!feed) return {};
    all.insert(all.end(), feed->begin(), feed->end());
    all.push_back("END");
  }
  return all;
}

TEST(SimServe, ManyClientsAtOnceAreServedTheSame) {
  SimServer sim;
  ASSERT_TRUE(sim.started) << sim.error;
  const auto reference = FullLoad(sim.server.Port());
  ASSERT_EQ(reference.size(), 8u + 6u + 2u + (5u + 3u + 3u + 3u) + 3u + 3u);
  constexpr int kClients = 12;
  std::vector<std::vector<std::string>> results(kClients);
  std::vector<std::thread> threads;
  for (int i = 0; i < kClients; ++i)
    threads.emplace_back([&, i] { results[i] = FullLoad(sim.server.Port()); });
  for (auto& t : threads) t.join();
  for (int i = 0; i < kClients; ++i) EXPECT_EQ(results[i], reference) << "client " << i;
  EXPECT_EQ(sim.server.ConnectionsAccepted(), kClients + 1);
}

TEST(SimServe, StopEndsEveryConnectionWhateverItIsDoing) {
  auto options = simtest::QuietOptions();
  std::string error;
  orvexsim::Fault stall;
  stall.kind = orvexsim::FaultKind::Stall;
  stall.step = orvexsim::Step::GetMap;
  orvexsim::Fault drip;
  drip.kind = orvexsim::FaultKind::Drip;
  drip.step = orvexsim::Step::GetPictMap;
  drip.delayMs = 1000;
  orvexsim::Fault delay;
  delay.kind = orvexsim::FaultKind::Delay;
  delay.step = orvexsim::Step::GetText;
  delay.delayMs = 60000;
  options.faults = {stall, drip, delay};
  auto sim = std::make_unique<SimServer>(simtest::MakeTestScenario(), options);
  ASSERT_TRUE(sim->started) << sim->error;
  RawClient idle, half, stalled, dripping, delayed;
  ASSERT_TRUE(idle.Connect(sim->server.Port()));  // never says anything
  ASSERT_TRUE(half.Connect(sim->server.Port()));
  half.Send("REMOTE");  // stops at the login prompt
  ASSERT_TRUE(stalled.Connect(sim->server.Port()));
  ASSERT_EQ(stalled.Login("disp", "123"), "OK Full");
  stalled.Send("GETMAP");
  ASSERT_TRUE(dripping.Connect(sim->server.Port()));
  ASSERT_EQ(dripping.Login("disp", "123"), "OK Full");
  dripping.Send("GETPICTMAP MAP=0");
  ASSERT_TRUE(delayed.Connect(sim->server.Port()));
  ASSERT_EQ(delayed.Login("disp", "123"), "OK Full");
  delayed.Send("GETTEXT");
  ASSERT_TRUE(dripping.Byte().has_value());  // the drip has begun
  for (int i = 0; i < 500 && sim->server.ConnectionsOpen() < 5; ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  EXPECT_EQ(sim->server.ConnectionsOpen(), 5);

  const uint16_t port = sim->server.Port();
  sim->server.Stop();  // returns only when every session has ended
  EXPECT_FALSE(sim->server.Running());
  EXPECT_EQ(sim->server.ConnectionsOpen(), 0);
  for (RawClient* client : {&idle, &half, &stalled, &dripping, &delayed}) EXPECT_TRUE(client->ClosedByPeer());
  sim->server.Stop();  // again: nothing happens
  sim.reset();         // and the destructor after a Stop

  // Nobody listens any more.
  RawClient late;
  EXPECT_FALSE(late.Connect(port));
}

TEST(SimServe, StopWhileClientsKeepConnectingAndPolling) {
  auto scenario = simtest::MakeTestScenario();
  scenario->feed.live.enabled = true;
  scenario->feed.live.eventsPerMinute = 600;
  orvexsim::LiveEventKind kind;
  kind.role = orvexsim::StateRole::LiftFault;
  kind.minDurationSec = 1;
  kind.maxDurationSec = 3;
  scenario->feed.live.kinds = {kind};
  auto options = simtest::QuietOptions();
  options.liveTickMs = 1;  // the generator thread runs too
  SimServer sim(scenario, options);
  ASSERT_TRUE(sim.started) << sim.error;
  std::atomic<bool> done{false};
  std::vector<std::thread> clients;
  for (int i = 0; i < 6; ++i)
    clients.emplace_back([&] {
      while (!done) {
        RawClient client;
        if (!client.Connect(sim.server.Port())) return;
        if (client.Login("disp", "123") != "OK Full") continue;
        for (int k = 0; k < 5 && !done; ++k) {
          client.Send("GETCHANGES");
          if (!client.ListUntilEnd(1000)) break;
        }
      }
    });
  // Stops once clients have come back for a second connection.
  for (int i = 0; i < 2000 && sim.server.ConnectionsAccepted() <= 6; ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  EXPECT_GT(sim.server.ConnectionsAccepted(), 6);
  sim.server.Stop();
  done = true;
  for (auto& t : clients) t.join();
}

TEST(SimRecord, EveryRequestLineWithItsConnectionInOrder) {
  const std::string file = ::testing::TempDir() + "orvex_sim_record.jsonl";
  auto options = simtest::QuietOptions();
  options.recordFile = file;
  {
    SimServer sim(simtest::MakeTestScenario(), options);
    ASSERT_TRUE(sim.started) << sim.error;
    RawClient a, b;
    ASSERT_TRUE(a.Connect(sim.server.Port()));
    ASSERT_EQ(a.Login("Диспетчер", "пароль"), "OK Full");
    a.Request("GETMAPOBJ", 6);
    ASSERT_TRUE(b.Connect(sim.server.Port()));
    ASSERT_EQ(b.Login("disp", "123"), "OK Full");
    b.Request("MOUSEDOWN OBJ=1", 1);
    a.Request("STARTSPEAK OBJ=0 PU=2", 1);
    auto record = sim.server.Record();
    ASSERT_EQ(record.size(), 9u);
    const std::pair<int, const char*> expected[] = {
        {0, "REMOTE"},    {0, "Диспетчер"},       {0, "***"},
        {0, "GETMAPOBJ"}, {1, "REMOTE"},          {1, "disp"},
        {1, "***"},       {1, "MOUSEDOWN OBJ=1"}, {0, "STARTSPEAK OBJ=0 PU=2"}};
    for (size_t i = 0; i < std::size(expected); ++i) {
      EXPECT_EQ(record[i].connection, expected[i].first) << i;
      EXPECT_EQ(record[i].line, expected[i].second) << i;
      if (i > 0) EXPECT_GE(record[i].micros, record[i - 1].micros) << i;
    }
  }
  // The same as JSON lines in the file.
  std::ifstream in(file);
  std::string line;
  std::vector<nlohmann::json> rows;
  while (std::getline(in, line)) rows.push_back(nlohmann::json::parse(line));
  ASSERT_EQ(rows.size(), 9u);
  EXPECT_EQ(rows[1]["conn"], 0);
  EXPECT_EQ(rows[1]["line"], "Диспетчер");
  EXPECT_EQ(rows[7]["conn"], 1);
  EXPECT_EQ(rows[7]["line"], "MOUSEDOWN OBJ=1");
  EXPECT_TRUE(rows[8]["t_us"].is_number_integer());
  std::remove(file.c_str());
}

TEST(SimRecord, AnUnwritableRecordFileRefusesTheStart) {
  auto options = simtest::QuietOptions();
  options.recordFile = "/nonexistent-folder/record.jsonl";
  orvexsim::Server server;
  std::string error;
  EXPECT_FALSE(server.Start(simtest::MakeTestScenario(), options, &error));
  EXPECT_EQ(error.rfind("cannot write the record file \"/nonexistent-folder/record.jsonl\"", 0), 0u) << error;
}

TEST(SimServe, TwoServersSideBySideOnTheirOwnPorts) {
  SimServer a, b;
  ASSERT_TRUE(a.started && b.started);
  EXPECT_NE(a.server.Port(), b.server.Port());
  a.server.Broadcast({"UPDATE OBJ=0 IDX=1"});
  EXPECT_EQ(a.server.CountsNow().liftBreak, 2);
  EXPECT_EQ(b.server.CountsNow().liftBreak, 1);
}

}  // namespace
