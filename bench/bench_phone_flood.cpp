// Figures of a phone program that floods the workstation with event lines:
// for 10 s phone-sim sends one line again and again as fast as the link
// takes it, while a main thread plays the window's event loop (it takes what
// the telephony thread posts in batches, as TPhoneStation does, and runs a
// 10 ms timer beside). Printed per kind of line (statistics are merged, rings
// are not): lines sent, peak memory above the idle figure (goal < 100 MB),
// the longest time the main thread was held by one batch and the latest a
// timer tick came (goal < 50 ms), and how long the backlog took to clear
// after the flood.
//
//   bench_phone_flood [SECONDS]   (10 by default)
#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <mutex>
#include <string>
#include <thread>
#include <utility>

#include "bench_support.h"
#include "iptel/telephony.h"
#include "support/temp_folder.h"
#include "tools/phone-sim/phone_sim.h"

using namespace vertamo;
using namespace vertamo::bench;
using Clock = std::chrono::steady_clock;

namespace {

double Ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

// The window side as cheap as a label: what a real window does per line is
// bounded by the batch, not by this.
class LabelWindow : public ICallWindow {
 public:
  void PhoneEvent(const TPhoneEvent& event) override { state = static_cast<int>(event.kind); }
  void ShowCallInfo(const std::string& text) override { info = text; }
  void SelectSubscriber(int) override {}
  void ShowCallStatus(const std::string& text) override { status = text; }
  void PhoneAnswered() override {}
  int state = 0;
  std::string info, status;
};

// The main thread's event loop: posted items and a 10 ms timer.
class MainLoop : public IPhoneHost {
 public:
  void PhoneEventPosted() override {
    std::lock_guard lock(mutex_);
    posted_ = true;
    wake_.notify_one();
  }
  void ShowMessageBox(const TPhoneMessageBox&, std::function<void()> done) override { done(); }

  struct Figures {
    double longestBatchMs = 0, longestBatchCpuMs = 0, latestTickMs = 0;
  };
  // Runs until `until`, or (when `drain`) until nothing waits any more.
  Figures Run(TTelephony& telephony, ICallWindow& window, Clock::time_point until, bool drain,
              const std::function<void()>& sample) {
    Figures f;
    Clock::time_point nextTick = Clock::now() + std::chrono::milliseconds(10);
    for (;;) {
      bool run;
      {
        std::unique_lock lock(mutex_);
        wake_.wait_until(lock, std::min(nextTick, until), [&] { return posted_ || more_; });
        run = std::exchange(posted_, false) || more_;
      }
      if (run) {
        const Clock::time_point t0 = Clock::now();
        const double cpu0 = ThreadCpuMs();
        more_ = telephony.HandlePhoneEvents(window);
        f.longestBatchCpuMs = std::max(f.longestBatchCpuMs, ThreadCpuMs() - cpu0);
        f.longestBatchMs = std::max(f.longestBatchMs, Ms(Clock::now() - t0));
      }
      const Clock::time_point now = Clock::now();
      if (now >= nextTick) {
        f.latestTickMs = std::max(f.latestTickMs, Ms(now - nextTick));
        nextTick = now + std::chrono::milliseconds(10);
        sample();
      }
      if (drain ? (!more_ && telephony.Thread()->PhoneEvents().Count() == 0) : now >= until) return f;
    }
  }

 private:
  std::mutex mutex_;
  std::condition_variable wake_;
  bool posted_ = false;
  bool more_ = false;
};

}  // namespace

int main(int argc, char** argv) {
  const int seconds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 10;
  for (const char* line : {"STAT jitter=20ms loss=0% rtt=4ms", "RING Gate [10.0.0.5]"}) {
    testing::TempFolder dir;
    phonesim::Server sim;
    phonesim::Options options;
    options.port = 0;
    options.greet = true;
    std::string error;
    if (!sim.Start(options, &error)) {
      std::fprintf(stderr, "phone-sim: %s\n", error.c_str());
      return 1;
    }
    NoPhoneProcesses processes;
    MainLoop loop;
    TTelephonyOptions telephonyOptions;
    telephonyOptions.programFolder = dir.folder();
    telephonyOptions.workFolder = dir.folder();
    telephonyOptions.port = sim.Port();
    telephonyOptions.processes = &processes;
    TTelephony telephony(telephonyOptions, loop);
    telephony.Log().SetEnabled(true);  // every ring is logged, as with "EnableIpLog"
    telephony.Start();
    LabelWindow window;
    if (!telephony.Thread()->WaitForLink(1, 5000)) {
      std::fprintf(stderr, "no link\n");
      return 1;
    }
    loop.Run(telephony, window, Clock::now() + std::chrono::milliseconds(300), false, [] {});
    const double idle = ResidentMb();
    double peak = idle;
    size_t mostQueued = 0;
    const auto sample = [&] {
      peak = std::max(peak, ResidentMb());
      mostQueued = std::max(mostQueued, telephony.Thread()->PhoneEvents().Count());
    };
    sim.Flood(line, seconds * 1000);
    const MainLoop::Figures during =
        loop.Run(telephony, window, Clock::now() + std::chrono::seconds(seconds) + std::chrono::milliseconds(200),
                 false, sample);
    const Clock::time_point drain0 = Clock::now();
    const MainLoop::Figures after = loop.Run(telephony, window, Clock::time_point::max(), true, sample);
    const double drainMs = Ms(Clock::now() - drain0);
    long sent = 0;
    for (const auto& entry : sim.Record())
      if (entry.kind == "flood") sent = std::atol(entry.text.c_str());
    const std::string kind(line, 4);
    std::printf("%s flood, %d s: %ld lines sent (%.0f lines/s); memory idle %.1f MB, peak %.1f MB (+%.1f MB); "
                "most items queued %zu\n",
                kind.c_str(), seconds, sent, sent / double(seconds), idle, peak, peak - idle, mostQueued);
    std::printf("%s flood: longest main-thread batch %.2f ms (%.2f ms of its own processor time), latest 10 ms "
                "timer tick %.2f ms late (goal < 50 ms); backlog cleared %.1f ms after the flood\n",
                kind.c_str(), std::max(during.longestBatchMs, after.longestBatchMs),
                std::max(during.longestBatchCpuMs, after.longestBatchCpuMs), during.latestTickMs, drainMs);
    std::printf("%s flood: IpPhone.log %.1f KB\n", kind.c_str(),
                std::ifstream(dir.file("IpPhone.log"), std::ios::ate | std::ios::binary).tellg() / 1024.0);
  }
  return 0;
}
