// Figures of the connection thread against orvex-sim in-process:
//   - change feed: UPDATE lines applied per second through the hand-over to a
//     main thread (orvex-sim's flood mode);
//   - SendCommand round trip while polling, and while every poll floods the
//     feed (the request wait runs the hand-overs it meets);
//   - how soon Stop returns from the polling wait, the pause and a stalled read;
//   - idle cost: processor time of the whole process (client and an idle
//     server) over a stretch of polling.
// Usage: bench_client_thread [idle-seconds=30] [flood-lines=100000]
#include <time.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <filesystem>
#include <functional>
#include <future>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "map/map_model.h"
#include "platform/cp1251.h"
#include "serverlink/orvex_client_thread.h"
#include "settings/server_profile.h"
#include "support/executor_thread.h"
#include "support/null_client_events.h"
#include "tools/orvex-sim/server.h"
#include "tools/orvex-sim/synthetic.h"

using namespace vertamo;
using Clock = std::chrono::steady_clock;

namespace {

double Seconds(Clock::duration d) { return std::chrono::duration<double>(d).count(); }

double ProcessCpuSeconds() {
  timespec ts{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
  return static_cast<double>(ts.tv_sec) + ts.tv_nsec / 1e9;
}

using TMainThread = TExecutorThread;

// Applies object states to the model as the main window does and keeps the
// timing of every exchange.
class TCounter final : public testing::TNullClientEvents {
 public:
  explicit TCounter(TMapModel& model) : model_(model) {}
  void ClearMaps() override { model_.Clear(); }
  void BuildMaps() override { built_ = true; }
  void ShowStatusText(const std::string& text) override {
    static const std::string update = Utf8ToCp1251("Обновление: ");
    if (text.compare(0, update.size(), update) != 0) return;
    std::lock_guard<std::mutex> lock(mutex_);
    exchanges_.push_back({});
    cv_.notify_all();
  }
  void SetObjectState(int object, int index) override {
    if (MAPOBJECT* o = model_.ObjectList.Get(object)) {
      o->Changed = false;
      o->SetIdx(index);
    }
    const auto now = Clock::now();
    std::lock_guard<std::mutex> lock(mutex_);
    if (exchanges_.empty()) return;
    Exchange& e = exchanges_.back();
    if (e.updates++ == 0) e.first = now;
    e.last = now;
  }

  struct Exchange {
    long updates = 0;
    Clock::time_point first, last;
  };
  // Waits until `n` exchanges have begun.
  std::vector<Exchange> WaitExchanges(size_t n) {
    std::unique_lock<std::mutex> lock(mutex_);
    cv_.wait_for(lock, std::chrono::minutes(5), [&] { return exchanges_.size() >= n; });
    return exchanges_;
  }
  size_t Exchanges() {
    std::lock_guard<std::mutex> lock(mutex_);
    return exchanges_.size();
  }

 private:
  TMapModel& model_;
  std::atomic<bool> built_{false};
  std::mutex mutex_;
  std::condition_variable cv_;
  std::vector<Exchange> exchanges_;
};

struct Rig {
  explicit Rig(int flood, std::vector<orvexsim::Fault> faults = {}) : events(model) {
    orvexsim::SyntheticParams params;
    params.maps = 2;
    params.objects = 2000;
    params.sets = 20;
    params.pictures = 8;
    params.backgroundWidth = 64;
    params.backgroundHeight = 48;
    params.texts = 10;
    auto scenario = std::make_shared<orvexsim::Scenario>(orvexsim::BuildSyntheticScenario(params));
    orvexsim::ServerOptions options;
    options.liveTickMs = 0;
    options.floodLinesPerPoll = flood;
    options.faults = std::move(faults);
    std::string error;
    if (!sim.Start(scenario, options, &error)) {
      std::fprintf(stderr, "orvex-sim: %s\n", error.c_str());
      std::exit(1);
    }
    folder = std::filesystem::temp_directory_path() / ("vertamo-bench-" + std::to_string(::getpid()));
    std::filesystem::create_directories(folder);
    SERVERINFO p = DefaultProfile();
    SetProfileText(p.Ip, "127.0.0.1");
    p.Port = sim.Port();
    p.CacheEnable = false;
    client = std::make_unique<TOrvexClientThread>(p, folder.string() + "/", model, events, main, nullptr);
  }
  ~Rig() {
    main.Run([&] {
      client->Stop();
      return 0;
    });
    client.reset();
    sim.Stop();
    std::error_code ec;
    std::filesystem::remove_all(folder, ec);
  }
  bool WaitStage(int stage, int seconds = 120) {
    const auto end = Clock::now() + std::chrono::seconds(seconds);
    while (Clock::now() < end) {
      if (client->Stage() == stage) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return false;
  }
  // Stop from the main thread; seconds until it returned.
  double TimedStop() {
    return main.Run([&] {
      const auto t0 = Clock::now();
      client->Stop();
      return Seconds(Clock::now() - t0);
    });
  }

  orvexsim::Server sim;
  TMainThread main;
  TMapModel model;
  TCounter events;
  std::filesystem::path folder;
  std::unique_ptr<TOrvexClientThread> client;
};

}  // namespace

int main(int argc, char** argv) {
  const int idleSeconds = argc > 1 ? std::atoi(argv[1]) : 30;
  const int flood = argc > 2 ? std::atoi(argv[2]) : 100000;

  // Change feed.
  {
    Rig rig(flood);
    rig.client->Start();
    const auto exchanges = rig.events.WaitExchanges(5);
    double best = 0, total = 0;
    long lines = 0;
    for (size_t i = 1; i + 1 < exchanges.size(); ++i) {  // whole exchanges only
      const auto& e = exchanges[i];
      if (e.updates < 2) continue;
      const double s = Seconds(e.last - e.first);
      const double rate = e.updates / s;
      best = std::max(best, rate);
      total += s;
      lines += e.updates;
    }
    std::printf(
        "change feed: %ld UPDATE lines in %.3f s through the hand-over: %.0f lines/s (best exchange %.0f)\n",
        lines, total, total > 0 ? lines / total : 0.0, best);
  }

  // Requests and stops.
  {
    Rig rig(0);
    rig.client->Start();
    if (!rig.WaitStage(kStagePolling)) return 1;
    std::vector<double> trips;
    for (int i = 0; i < 200; ++i) {
      const double s = rig.main.Run([&] {
        const auto t0 = Clock::now();
        rig.client->SendCommand("MOUSEDOWN OBJ=" + std::to_string(i % 100));
        return Seconds(Clock::now() - t0);
      });
      trips.push_back(s);
    }
    std::sort(trips.begin(), trips.end());
    std::printf("SendCommand while polling: median %.3f ms, 95th %.3f ms, max %.3f ms (200 requests)\n",
                trips[100] * 1e3, trips[190] * 1e3, trips.back() * 1e3);
    std::printf("Stop while polling: %.3f ms\n", rig.TimedStop() * 1e3);
  }
  // Requests while every poll floods the feed: the worker mostly waits in a
  // hand-over, which the request wait runs on the main thread.
  {
    Rig rig(300);
    TClientTimings timings;
    timings.pollPeriodMs = 1;
    rig.client->SetTimings(timings);
    rig.client->Start();
    if (!rig.WaitStage(kStagePolling)) return 1;
    std::vector<double> trips;
    int answered = 0;
    for (int i = 0; i < 200; ++i) {
      const double s = rig.main.Run([&] {
        const auto t0 = Clock::now();
        if (rig.client->SendCommand("MOUSEDOWN OBJ=" + std::to_string(i % 100))) ++answered;
        return Seconds(Clock::now() - t0);
      });
      trips.push_back(s);
      std::this_thread::sleep_for(std::chrono::microseconds(300 * (i % 7)));
    }
    std::sort(trips.begin(), trips.end());
    std::printf(
        "SendCommand during a 300-line flood per poll: %d of 200 answered, median %.3f ms, 95th %.3f ms, "
        "max %.3f ms\n",
        answered, trips[100] * 1e3, trips[190] * 1e3, trips.back() * 1e3);
  }
  {
    orvexsim::Fault stall;
    stall.kind = orvexsim::FaultKind::Stall;
    stall.step = orvexsim::Step::GetMapObj;
    Rig rig(0, {stall});
    rig.client->Start();
    if (!rig.WaitStage(kStageObjects)) return 1;
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    std::printf("Stop during a stalled read: %.3f ms\n", rig.TimedStop() * 1e3);
  }
  {
    orvexsim::Fault drop;
    drop.kind = orvexsim::FaultKind::Drop;
    drop.step = orvexsim::Step::GetMap;
    Rig rig(0, {drop});
    rig.client->Start();
    while (rig.client->Attempts() < 1) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    std::this_thread::sleep_for(std::chrono::milliseconds(500));  // inside the 3 s pause
    std::printf("Stop during the pause: %.3f ms\n", rig.TimedStop() * 1e3);
  }

  // Idle cost.
  {
    Rig rig(0);
    rig.client->Start();
    if (!rig.WaitStage(kStagePolling)) return 1;
    std::this_thread::sleep_for(std::chrono::seconds(2));
    const double cpu0 = ProcessCpuSeconds();
    const auto t0 = Clock::now();
    std::this_thread::sleep_for(std::chrono::seconds(idleSeconds));
    const double cpu = ProcessCpuSeconds() - cpu0;
    const double wall = Seconds(Clock::now() - t0);
    std::printf(
        "idle polling: %.3f s processor time over %.1f s (client and idle server together): %.3f %% of one "
        "core\n",
        cpu, wall, 100.0 * cpu / wall);
  }
  return 0;
}
