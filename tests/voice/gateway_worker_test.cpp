// The gateway worker against kelmo-sim: results in order and exact, no poll
// queued behind a waiting one, and a prompt stop.
#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
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
    worker.SetDirection(3, true);
    EXPECT_TRUE(worker.PollLevel(3));
    worker.SetDirection(3, false);
    const auto got = results_.Wait(5);
    ASSERT_EQ(got.size(), 5u);
    const Kind kinds[] = {Kind::Opened, Kind::Settings, Kind::Direction, Kind::Level, Kind::Direction};
    for (size_t i = 0; i < 5; ++i) {
      EXPECT_EQ(got[i].kind, kinds[i]) << i;
      EXPECT_TRUE(got[i].ok && got[i].ready) << i;
    }
    EXPECT_EQ(got[1].settingsText, "20 300 1500\r\n");
    EXPECT_TRUE(got[2].talk);
    EXPECT_EQ(got[3].mode, 1);
    EXPECT_EQ(got[3].line, 3);
    EXPECT_FALSE(got[4].talk);
  }
  ASSERT_TRUE(Received("quit"));
  EXPECT_EQ(sim_.Received(), (std::vector<std::string>{"getsdp", "setatx 3", "getad 3", "setarx 3", "quit"}));
}

TEST_F(GatewayWorker, NoPollIsQueuedBehindOneWaiting) {
  Start({kelmosim::Fault::Slow});  // every reply 2.5 s late: the client gives up after 2 s
  TGatewayWorker worker(results_, "127.0.0.1", sim_.Port());
  ASSERT_TRUE(worker.PollLevel(3));
  EXPECT_FALSE(worker.PollLevel(3)) << "queued, not yet sent";
  ASSERT_TRUE(Received("getad 3"));
  EXPECT_FALSE(worker.PollLevel(3)) << "sent, waiting for its reply";
  worker.SetDirection(3, true);  // never dropped
  const auto got = results_.Wait(3);
  ASSERT_EQ(got.size(), 3u);
  EXPECT_EQ(got[1].kind, Kind::Level);
  EXPECT_FALSE(got[1].ok) << "no reply within 2 s";
  EXPECT_TRUE(got[1].ready) << "a late reply leaves the client usable";
  EXPECT_EQ(got[2].kind, Kind::Direction);
  EXPECT_EQ(sim_.Received(), (std::vector<std::string>{"getad 3", "setatx 3"}));
  EXPECT_TRUE(worker.PollLevel(3)) << "the next poll once the last one is over";
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
