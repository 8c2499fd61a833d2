// Figures of the telephony thread: event lines handed to the main thread per
// second, how soon a command reaches the phone program, how soon a stop ends
// the thread, and the processor time of a connected, idle telephony thread.
//
//   bench_phone_link [IDLE_SECONDS]   (30 by default)
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "bench_support.h"
#include "iptel/iptel_thread.h"
#include "iptel/phone_log.h"
#include "support/temp_folder.h"
#include "tools/phone-sim/phone_sim.h"
#include "transport/test_peer.h"

using namespace vertamo;
using namespace vertamo::bench;
using Clock = std::chrono::steady_clock;

namespace {

double Seconds(Clock::duration d) { return std::chrono::duration<double>(d).count(); }

double ProcessCpuSeconds() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
         static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// The main thread's side: a counter of posted lines the "main thread" waits on.
class CountingHost : public IPhoneHost {
 public:
  void PhoneEventPosted() override {
    std::lock_guard lock(mutex_);
    ++posted_;
    if (posted_ >= wanted_) reached_.notify_all();
  }
  void ShowMessageBox(const TPhoneMessageBox&, std::function<void()> done) override { done(); }
  void WaitFor(long count) {
    std::unique_lock lock(mutex_);
    wanted_ = count;
    reached_.wait(lock, [&] { return posted_ >= wanted_; });
  }

 private:
  std::mutex mutex_;
  std::condition_variable reached_;
  long posted_ = 0;
  long wanted_ = 0;
};

// A phone program that greets and then writes whatever it is given.
struct RawPhone {
  int port = 0, listenFd = -1, conn = -1;
  RawPhone() : listenFd(testing::BindLoopback(port)) { listen(listenFd, 4); }
  ~RawPhone() {
    if (conn >= 0) close(conn);
    close(listenFd);
  }
  void AcceptAndGreet() {
    conn = accept4(listenFd, nullptr, nullptr, SOCK_CLOEXEC);
    Write(std::string("OK\0", 3));
  }
  void Write(const std::string& bytes) {
    size_t done = 0;
    while (done < bytes.size()) {
      const ssize_t n = send(conn, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
      if (n <= 0) return;
      done += static_cast<size_t>(n);
    }
  }
};

TPhoneConfig Config(const std::string& folder, int port) {
  TPhoneConfig config;
  config.programPath = folder + "ohphone";
  config.workFolder = folder;
  config.port = port;
  return config;
}

}  // namespace

int main(int argc, char** argv) {
  const int idleSeconds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 30;
  testing::TempFolder dir;
  TPhoneLog log(dir.folder(), false);
  NoPhoneProcesses processes;

  {  // event lines to the main thread
    RawPhone phone;
    CountingHost host;
    TIPTELThread thread(Config(dir.folder(), phone.port), processes, host, log);
    thread.Start();
    phone.AcceptAndGreet();
    thread.WaitForStage(TIPTELThread::kLinkUp, 5000);
    constexpr long kLines = 500000;
    std::string block;
    // Lines that are never merged (statistics would be).
    for (int i = 0; i < 1000; ++i) block += "APP jitter=20ms loss=0% rtt=" + std::to_string(i) + "ms" + '\0';
    std::thread consumer([&] {
      // The main thread takes each line as it is posted.
      for (long taken = 0; taken < kLines;) {
        TPhoneQueued line;
        if (thread.PhoneEvents().TryPop(line))
          ++taken;
        else
          std::this_thread::yield();
      }
    });
    const Clock::time_point start = Clock::now();
    for (long i = 0; i < kLines / 1000; ++i) phone.Write(block);
    consumer.join();
    const double s = Seconds(Clock::now() - start);
    std::printf("event lines handed to the main thread: %.0f lines/s (%ld lines in %.3f s)\n", kLines / s, kLines, s);
  }

  {  // command latency, stop latency and idle cost against phone-sim
    phonesim::Server sim;
    phonesim::Options options;
    options.port = 0;
    options.greet = true;
    options.outcome = phonesim::Outcome::Silent;
    std::string error;
    if (!sim.Start(options, &error)) {
      std::fprintf(stderr, "phone-sim: %s\n", error.c_str());
      return 1;
    }
    CountingHost host;
    TIPTELThread thread(Config(dir.folder(), sim.Port()), processes, host, log);
    thread.Start();
    thread.WaitForStage(TIPTELThread::kLinkUp, 5000);

    std::vector<double> latencies;
    for (int i = 0; i < 200; ++i) {
      const size_t before = sim.Received().size();
      const Clock::time_point start = Clock::now();
      thread.SendPhoneCommand("c 10.0.0." + std::to_string(i));
      sim.WaitFor([&](const std::vector<phonesim::RecordEntry>& r) {
        return std::count_if(r.begin(), r.end(), [](auto& e) { return e.kind == "in"; }) > static_cast<long>(before);
      }, 5000);
      latencies.push_back(Seconds(Clock::now() - start) * 1e3);
    }
    std::sort(latencies.begin(), latencies.end());
    std::printf("command to the phone program: median %.3f ms, worst %.3f ms (200 commands)\n",
                latencies[latencies.size() / 2], latencies.back());

    const double cpu0 = ProcessCpuSeconds();
    const Clock::time_point wall0 = Clock::now();
    std::this_thread::sleep_for(std::chrono::seconds(idleSeconds));
    const double cpu = ProcessCpuSeconds() - cpu0;
    const double wall = Seconds(Clock::now() - wall0);
    std::printf("idle connected telephony thread (with the phone-sim thread): %.4f %% of one core over %.0f s\n",
                100.0 * cpu / wall, wall);

    const Clock::time_point stop0 = Clock::now();
    thread.Stop();
    std::printf("stop of a connected thread: %.3f ms\n", Seconds(Clock::now() - stop0) * 1e3);
  }
  return 0;
}
