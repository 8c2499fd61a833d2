// Figures of the connection thread against orvex-sim in-process:
//   - change feed: UPDATE lines per second from the server's socket to a
//     main thread that applies them to a model of 2000 objects, one exchange
//     after another (a scripted server with its replies ready, so that only
//     the client's work is timed);
//   - a click's "MOUSEDOWN": from the request on the main thread to its answer
//     there, while polling, and while every poll floods the feed;
//   - the main thread's longest stall while the link works hard: a catalogue
//     load, then a feed of 300-line replies, with requests meanwhile;
//   - how soon Stop returns from the polling wait, the pause and a stalled read;
//   - idle cost: processor time of the whole process (client and an idle
//     server) over a stretch of polling (at least 5 s).
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

#include "clientthread/client_test_support.h"
#include "clientthread/fake_server.h"
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
  void BuildMaps(TMapModel& loaded) override {
    model_ = std::move(loaded);
    built_ = true;
  }
  void ShowStatusText(const std::string& text) override {
    static const std::string update = Utf8ToCp1251("Обновление: ");
    if (text.compare(0, update.size(), update) != 0) return;
    std::lock_guard<std::mutex> lock(mutex_);
    if (!exchanges_.empty()) exchanges_.back().last = Clock::now();
    exchanges_.push_back({});
    cv_.notify_all();
  }
  void SetObjectState(int object, int index) override {
    if (MAPOBJECT* o = model_.ObjectList.Get(object)) {
      o->Changed = false;
      o->SetIdx(index);
    }
    std::lock_guard<std::mutex> lock(mutex_);
    if (!exchanges_.empty()) ++exchanges_.back().updates;
  }

  // An exchange as the main thread saw it: its lines, and when the next one
  // began to be applied (so when the last of these was done).
  struct Exchange {
    long updates = 0;
    Clock::time_point last;
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
  explicit Rig(int flood, std::vector<orvexsim::Fault> faults = {}, int objects = 2000) : events(model) {
    orvexsim::SyntheticParams params;
    params.maps = 2;
    params.objects = objects;
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
    client = std::make_unique<TOrvexClientThread>(p, folder.string() + "/", events, main, nullptr);
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
  // A "MOUSEDOWN" asked on the main thread; seconds until its answer ran
  // there, or -1 without an answer.
  double Click(int object) {
    auto answered = std::make_shared<std::promise<double>>();
    const auto token = std::make_shared<int>(0);
    main.Run([&] {
      const auto t0 = Clock::now();
      client->SendCommand("MOUSEDOWN OBJ=" + std::to_string(object), token,
                          [answered, t0](const TRequestAnswer& a) {
                            answered->set_value(a.answered ? Seconds(Clock::now() - t0) : -1);
                          });
      return 0;
    });
    return answered->get_future().get();
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

  // Change feed: exchanges back to back; the lines of exchanges 2..n over
  // the time from the end of the first to the end of the last.
  {
    testing::TServerScript script;
    script.getmapobj = {"OBJCOUNT=2000"};
    for (int i = 0; i < 2000; ++i)
      script.getmapobj.push_back("OBJ=" + std::to_string(i) +
                                 " MAP=0 X=1 Y=2 NAME=\"o\" TYPE=1 IML=\"\" PCOUNT=0 IDX=0 HINT=\"\"");
    std::string reply;
    for (int k = 0; k < flood; ++k)
      reply += "UPDATE OBJ=" + std::to_string(k % 2000) + " IDX=" + std::to_string(k % 8) + "\r\n";
    reply += "END\r\n";
    script.hook = [&reply](testing::TFakeConnection& c, const std::string& line) {
      if (line != "GETCHANGES") return false;
      c.Send(reply);
      return true;
    };
    testing::TFakeServer server(
        [&script](testing::TFakeConnection& c) { testing::ServeScript(script, c, c.server()); });
    TMainThread main;
    TMapModel model;
    TCounter events(model);
    SERVERINFO p = DefaultProfile();
    SetProfileText(p.Ip, "127.0.0.1");
    p.Port = static_cast<uint16_t>(server.port());
    p.CacheEnable = false;
    TOrvexClientThread client(p, std::filesystem::temp_directory_path().string(), events, main, nullptr);
    TClientTimings timings;
    timings.pollPeriodMs = 1;
    client.SetTimings(timings);
    client.Start();
    const auto exchanges = events.WaitExchanges(8);
    main.Run([&] {
      client.Stop();
      return 0;
    });
    long lines = 0;
    double best = 0;
    for (size_t i = 2; i + 1 < exchanges.size(); ++i) {
      lines += exchanges[i].updates;
      const double s = Seconds(exchanges[i].last - exchanges[i - 1].last);
      if (s > 0) best = std::max(best, exchanges[i].updates / s);
    }
    const double total = Seconds(exchanges[exchanges.size() - 2].last - exchanges[1].last);
    std::printf(
        "change feed: %ld UPDATE lines in %.3f s, socket to applied on the main thread: %.0f lines/s (best "
        "exchange %.0f)\n",
        lines, total, total > 0 ? lines / total : 0.0, best);
  }

  const auto printTrips = [](const char* what, std::vector<double> trips) {
    std::sort(trips.begin(), trips.end());
    const auto unanswered = std::count(trips.begin(), trips.end(), -1.0);
    trips.erase(trips.begin(), trips.begin() + unanswered);
    if (trips.empty()) {
      std::printf("%s: no answer at all\n", what);
      return;
    }
    std::printf("%s: median %.3f ms, 95th %.3f ms, max %.3f ms (%zu answered, %ld not)\n", what,
                trips[trips.size() / 2] * 1e3, trips[trips.size() * 95 / 100] * 1e3, trips.back() * 1e3,
                trips.size(), static_cast<long>(unanswered));
  };

  // A click's answer, on loopback.
  {
    Rig rig(0);
    rig.client->Start();
    if (!rig.WaitStage(kStagePolling)) return 1;
    std::vector<double> trips;
    for (int i = 0; i < 200; ++i) trips.push_back(rig.Click(i % 100));
    printTrips("MOUSEDOWN answer on the main thread while polling", trips);
    std::printf("Stop while polling: %.3f ms\n", rig.TimedStop() * 1e3);
  }
  // The same while every poll floods the feed.
  {
    Rig rig(300);
    TClientTimings timings;
    timings.pollPeriodMs = 1;
    rig.client->SetTimings(timings);
    rig.client->Start();
    if (!rig.WaitStage(kStagePolling)) return 1;
    std::vector<double> trips;
    for (int i = 0; i < 200; ++i) {
      trips.push_back(rig.Click(i % 100));
      std::this_thread::sleep_for(std::chrono::microseconds(300 * (i % 7)));
    }
    printTrips("MOUSEDOWN answer during a 300-line flood per poll", trips);
  }
  // The main thread's longest stall: a probe posted every millisecond
  // measures how long it waited for its turn, from the start of a catalogue
  // load of 20,000 objects through 300-line exchanges back to back, with a
  // click every 20 ms meanwhile, each once the one before was answered.
  {
    Rig rig(300, {}, 20000);
    TClientTimings timings;
    timings.pollPeriodMs = 1;
    rig.client->SetTimings(timings);
    std::atomic<bool> probing{true};
    std::atomic<long> worstMicros{0}, probes{0};
    std::thread prober([&] {
      while (probing) {
        const auto t0 = Clock::now();
        rig.main.Post([&, t0] {
          const long waited = static_cast<long>(Seconds(Clock::now() - t0) * 1e6);
          long worst = worstMicros.load();
          while (waited > worst && !worstMicros.compare_exchange_weak(worst, waited)) {
          }
          ++probes;
        });
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
      }
    });
    auto token = std::make_shared<int>(0);
    std::atomic<int> asked{0}, answered{0};
    std::atomic<bool> clicking{true};
    std::atomic<bool> outstanding{false};
    std::thread clicker([&] {
      while (clicking) {
        // A dispatcher clicks again once the last click got its answer.
        if (!outstanding.exchange(true))
          rig.main.Post([&] {
            ++asked;
            rig.client->SendCommand("MOUSEDOWN OBJ=1", token, [&](const TRequestAnswer& a) {
              if (a.answered) ++answered;
              outstanding = false;
            });
          });
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
      }
    });
    const auto t0 = Clock::now();
    rig.client->Start();
    const bool loaded = rig.WaitStage(kStagePolling);
    const double load = Seconds(Clock::now() - t0);
    const size_t first = rig.events.Exchanges();
    rig.events.WaitExchanges(first + 200);
    clicking = false;
    clicker.join();
    std::this_thread::sleep_for(std::chrono::milliseconds(1200));  // the last answers or time-outs
    probing = false;
    prober.join();
    rig.main.Run([&] {  // after the probes and answers still queued
      token.reset();
      return 0;
    });
    std::printf(
        "main thread's longest stall: %.3f ms over %ld probes (catalogue load of 20000 objects %s in %.2f s, "
        "then 200 exchanges of 300 lines; %d of %d clicks answered)\n",
        worstMicros.load() / 1e3, probes.load(), loaded ? "done" : "NOT done", load, answered.load(),
        asked.load());
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

  // Idle cost, over a real stretch of time whatever the argument says.
  {
    Rig rig(0);
    rig.client->Start();
    if (!rig.WaitStage(kStagePolling)) return 1;
    std::this_thread::sleep_for(std::chrono::seconds(2));
    const double cpu0 = ProcessCpuSeconds();
    const auto t0 = Clock::now();
    std::this_thread::sleep_for(std::chrono::seconds(std::max(idleSeconds, 5)));
    const double cpu = ProcessCpuSeconds() - cpu0;
    const double wall = Seconds(Clock::now() - t0);
    std::printf(
        "idle polling: %.3f s processor time over %.1f s (client and idle server together): %.3f %% of one "
        "core\n",
        cpu, wall, 100.0 * cpu / wall);
  }
  return 0;
}
