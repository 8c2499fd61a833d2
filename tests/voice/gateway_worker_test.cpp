// The gateway worker against kelmo-sim: results in order and exact, no poll
// queued behind a waiting one, a link that comes back after the gateway's
// faults, and a prompt stop.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

#include "tools/kelmo-sim/kelmo_sim.h"
#include "voice/gateway_worker.h"

namespace vertamo {
namespace {

using Kind = TGatewayResult::TKind;

class Results : public IGatewayResults {
 public:
  void GatewayResult(const TGatewayResult& result) override {
    std::lock_guard lock(mutex_);
    results_.push_back(result);
    changed_.notify_all();
  }
  // The first `count` results; fewer when they did not come within 10 s.
  std::vector<TGatewayResult> Wait(size_t count) {
    std::unique_lock lock(mutex_);
    changed_.wait_for(lock, std::chrono::seconds(10), [&] { return results_.size() >= count; });
    return results_;
  }

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<TGatewayResult> results_;
};

class GatewayWorker : public ::testing::Test {
 protected:
  void Start(std::vector<kelmosim::Fault> faults = {}) {
    kelmosim::Options options;
    options.port = 0;
    options.faults = std::move(faults);
    std::string error;
    ASSERT_TRUE(sim_.Start(options, &error)) << error;
  }
  bool Received(const std::string& command) {
    return sim_.WaitFor(
        [&](auto& record) {
          for (auto& entry : record)
            if (entry.kind == "in" && entry.text == command) return true;
          return false;
        },
        10000);
  }
  kelmosim::Server sim_;
  Results results_;
};

TEST_F(GatewayWorker, ResultsArriveInOrderAndExact) {
  Start();
  {
    TGatewayWorker worker(results_, "127.0.0.1", sim_.Port());
    worker.ReadSettings();
    EXPECT_TRUE(worker.PollLevel(3));
    worker.SetDirection(3, true);
    const auto got = results_.Wait(4);
    ASSERT_EQ(got.size(), 4u);
    const Kind kinds[] = {Kind::Opened, Kind::Settings, Kind::Level, Kind::Direction};
    for (size_t i = 0; i < 4; ++i) {
      EXPECT_EQ(got[i].kind, kinds[i]) << i;
      EXPECT_TRUE(got[i].ok && got[i].ready) << i;
    }
    EXPECT_EQ(got[1].settingsText, "20 300 1500\r\n");
    EXPECT_EQ(got[2].mode, 2);
    EXPECT_EQ(got[2].line, 3);
    EXPECT_TRUE(got[3].talk);
  }
  ASSERT_TRUE(Received("quit"));
  EXPECT_EQ(sim_.Received(), (std::vector<std::string>{"getsdp", "getad 3", "setatx 3", "quit"}));
}

TEST_F(GatewayWorker, NoPollIsQueuedBehindOneWaiting) {
  Start({kelmosim::Fault::Slow});  // every reply 2.5 s late: the client gives up after 2 s
  TGatewayWorker worker(results_, "127.0.0.1", sim_.Port());
  ASSERT_TRUE(worker.PollLevel(3));
  EXPECT_FALSE(worker.PollLevel(3)) << "queued, not yet sent";
  ASSERT_TRUE(Received("getad 3"));
  EXPECT_FALSE(worker.PollLevel(3)) << "sent, waiting for its reply";
  const auto got = results_.Wait(3);
  ASSERT_EQ(got.size(), 3u);
  EXPECT_EQ(got[1].kind, Kind::Level);
  EXPECT_FALSE(got[1].ok) << "no reply within 2 s";
  EXPECT_EQ(got[2].kind, Kind::Opened);
  EXPECT_FALSE(got[2].ok) << "a reply 2 s late loses the link";
  EXPECT_TRUE(worker.PollLevel(3)) << "the next poll once the last one is over";
}

// The gateway's faults, each against a conversation that wants line 3 on
// talk and polls it as the window does (every 100 ms). Each row: the fault,
// what the gateway received, the line's final direction and the link's state
// as the window is told it.
TEST_F(GatewayWorker, TheLinkComesBackAndTheLineEndsAsLastAsked) {
  enum class Script { Talk, SettingsThenTalk, GoneAndBack, Flood };
  const struct {
    const char* name;
    std::vector<kelmosim::Fault> faults;
    int closeAfter, stallAfter, stallMs, slowMs;
    Script script;
    int maxSwitches;          // "setatx 3" / "setarx 3" received at most (a flood: and one per 100 ms of it)
    int setatxOnFirstConnection;  // 1 yes, 0 no, -1 either
    bool wentDown;            // the window was told the gateway is unreachable
  } rows[] = {
      {"closes mid-conversation", {kelmosim::Fault::CloseOnce}, 3, 0, 0, 0, Script::Talk, 2, 1, true},
      {"stalls 3 s", {kelmosim::Fault::Stall}, 1, 3, 3000, 0, Script::Talk, 2, 1, true},
      // The late "200 20 300 1500" would pass for the answer to "setatx 3".
      {"answers getsdp 5 s late", {kelmosim::Fault::Stall}, 1, 0, 5000, 0, Script::SettingsThenTalk, 1, 0, true},
      {"is gone for 2 s", {}, 1, 0, 0, 0, Script::GoneAndBack, 2, -1, true},
      // After "setatx 3", greetings without end: every poll would get a whole line.
      {"streams \"220\" lines without end", {kelmosim::Fault::Stream}, 1, 0, 0, 0, Script::Talk, 2, 1, true},
      // 1,000 changes in about a second, the last one talk: a switch per reply.
      {"1,000 talk-key changes a second, 100 ms replies", {kelmosim::Fault::Slow}, 1, 0, 0, 100, Script::Flood,
       10, 1, false},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    kelmosim::Options options;
    options.port = 0;
    options.faults = row.faults;
    options.closeAfter = row.closeAfter;
    options.stallAfter = row.stallAfter;
    options.stallMs = row.stallMs;
    options.slowMs = row.slowMs;
    std::string error;
    ASSERT_TRUE(sim_.Start(options, &error)) << error;
    const int port = sim_.Port();
    Results results;
    std::vector<std::string> received;  // over both runs of the gateway
    int maxSwitches = row.maxSwitches;
    {
      TGatewayWorker worker(results, "127.0.0.1", port);
      if (row.script == Script::SettingsThenTalk) worker.ReadSettings();
      if (row.script == Script::Flood) {
        const auto began = std::chrono::steady_clock::now();
        for (int i = 0; i < 1000; ++i) {
          worker.SetDirection(3, i % 2 == 1);
          std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        // A loaded machine stretches the flood: still a switch per 100 ms reply.
        const auto lasted = std::chrono::steady_clock::now() - began;
        maxSwitches += static_cast<int>(lasted / std::chrono::milliseconds(100));
      } else {
        worker.SetDirection(3, true);
      }
      const auto started = std::chrono::steady_clock::now();
      bool restarted = row.script != Script::GoneAndBack, stopped = false;
      // Polls until the line talks on a link that is up (again, when the
      // row expects it to go down) and a poll was answered; 20 s at most.
      for (int tick = 0; tick < 200; ++tick) {
        const auto since = std::chrono::steady_clock::now() - started;
        if (!restarted && !stopped && since > std::chrono::milliseconds(500)) {
          received = sim_.Received();
          sim_.Stop();
          stopped = true;
        }
        if (!restarted && since > std::chrono::milliseconds(2500)) {
          options.port = port;
          ASSERT_TRUE(sim_.Start(options, &error)) << error;
          restarted = true;
        }
        worker.PollLevel(3);
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        const auto got = results.Wait(0);
        bool up = false, down = false, polled = false;
        for (const auto& r : got) {
          if (r.kind == Kind::Opened) {
            up = r.ok;
            down = down || !r.ok;
          }
          polled = polled || (r.kind == Kind::Level && r.ok);
        }
        if (restarted && up && polled && (down || !row.wentDown) && sim_.LineMode(3) == 1 && tick >= 5) break;
      }
      EXPECT_EQ(sim_.LineMode(3), 1) << "the line talks, as last asked";
    }
    const auto record = sim_.Record();
    for (const auto& text : sim_.Received()) received.push_back(text);
    const auto got = results.Wait(0);
    bool wentDown = false, up = false;
    for (const auto& r : got)
      if (r.kind == Kind::Opened) {
        wentDown = wentDown || !r.ok;
        up = r.ok;
      }
    EXPECT_TRUE(up) << "the window is told the gateway is back";
    EXPECT_EQ(wentDown, row.wentDown);
    const int switches = static_cast<int>(std::count_if(received.begin(), received.end(), [](const std::string& t) {
      return t == "setatx 3" || t == "setarx 3";
    }));
    EXPECT_GE(switches, 1);
    EXPECT_LE(switches, maxSwitches);
    if (row.setatxOnFirstConnection >= 0) {
      const bool onFirst = std::any_of(record.begin(), record.end(), [](const kelmosim::RecordEntry& e) {
        return e.connection == 0 && e.kind == "in" && e.text == "setatx 3";
      });
      EXPECT_EQ(onFirst, row.setatxOnFirstConnection == 1);
    }
    if (row.script == Script::SettingsThenTalk) {
      ASSERT_GE(got.size(), 2u);
      EXPECT_EQ(got[1].kind, Kind::Settings);
      EXPECT_FALSE(got[1].ok);
    }
    sim_.Stop();
  }
}

// Stop cuts a wait under way. Bound: well under the 2 s the wait would last,
// 1 s even on a loaded two-core machine under sanitizers.
TEST_F(GatewayWorker, StopIsPrompt) {
  for (bool inConnect : {false, true}) {
    Start({kelmosim::Fault::Slow});
    const int port = sim_.Port();
    if (inConnect) sim_.Stop();  // nothing listens: the connect waits out its 2 s
    auto worker = std::make_unique<TGatewayWorker>(results_, "127.0.0.1", port);
    ASSERT_TRUE(worker->PollLevel(3));
    if (!inConnect) {
      ASSERT_TRUE(Received("getad 3"));
    }
    const auto before = std::chrono::steady_clock::now();
    worker.reset();
    EXPECT_LT(std::chrono::steady_clock::now() - before, std::chrono::seconds(1)) << inConnect;
    if (!inConnect) {
      EXPECT_TRUE(Received("quit"));
    }
  }
}

}  // namespace
}  // namespace vertamo
