// Figures of vertamo-phone with the real baresip on loopback: how long a call
// takes to connect (the workstation's "c" to the phone's "CALL"), how long a
// sound takes from the dispatcher's microphone to the lift's speaker, and
// what the phone and its baresip cost idle and during a call.
//
// bench_sip_call [--calls N] [--seconds N] [--alsa]   (defaults 20 and 10)
//
// The dispatcher's sound goes through baresip's PulseAudio module, or with
// --alsa through its ALSA module and ALSA's PulseAudio plug-in (the other
// road to the desktop's sound server).
#include <pulse/simple.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "phone/phone_under_test.h"
#include "support/private_sound_server.h"

using namespace vertamo::testing;
using Clock = std::chrono::steady_clock;

namespace {

constexpr int kRate = PrivateSoundServer::kRate;
constexpr int kBlock = kRate / 200;  // 5 ms

double Ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

void Summary(const char* what, std::vector<double> v, const char* goal) {
  if (v.empty()) {
    std::printf("%-40s no figures\n", what);
    return;
  }
  std::sort(v.begin(), v.end());
  std::printf("%-40s min %6.1f  median %6.1f  max %6.1f ms  (%zu; goal %s)\n", what, v.front(), v[v.size() / 2],
              v.back(), v.size(), goal);
}

// CPU seconds (user + system) of a process so far.
double CpuSeconds(int pid) {
  const std::string stat = ReadWholeFile("/proc/" + std::to_string(pid) + "/stat");
  const size_t close = stat.rfind(')');
  if (close == std::string::npos) return 0;
  unsigned long utime = 0, stime = 0;
  std::sscanf(stat.c_str() + close + 2, "%*c %*d %*d %*d %*d %*d %*u %*u %*u %*u %*u %lu %lu", &utime, &stime);
  return static_cast<double>(utime + stime) / static_cast<double>(sysconf(_SC_CLK_TCK));
}

double CpuPercent(PhoneUnderTest& phone, int seconds) {
  const int engine = phone.BaresipPid();
  const double before = CpuSeconds(phone.Pid()) + CpuSeconds(engine);
  std::this_thread::sleep_for(std::chrono::seconds(seconds));
  const double after = CpuSeconds(phone.Pid()) + CpuSeconds(engine);
  return (after - before) * 100.0 / seconds;
}

// Reads a server's source and notes when it first turns loud after Arm().
class OnsetWatch {
 public:
  OnsetWatch(const std::string& server, const char* source) {
    pa_sample_spec format{PA_SAMPLE_S16NE, kRate, 1};
    pa_buffer_attr attr{};
    attr.maxlength = static_cast<uint32_t>(-1);
    attr.fragsize = kBlock * 2;
    int error = 0;
    stream_ = pa_simple_new(server.c_str(), "bench-watch", PA_STREAM_RECORD, source, "watch", &format, nullptr,
                            &attr, &error);
    if (stream_) thread_ = std::thread([this] { Run(); });
  }
  ~OnsetWatch() {
    run_ = false;
    if (thread_.joinable()) thread_.join();
    if (stream_) pa_simple_free(stream_);
  }
  bool Ok() const { return stream_ != nullptr; }
  void Arm() {
    std::lock_guard lock(mutex_);
    armed_ = true;
    seen_ = false;
  }
  bool Seen(Clock::time_point& at) {
    std::lock_guard lock(mutex_);
    at = at_;
    return seen_;
  }

 private:
  void Run() {
    std::vector<int16_t> block(kBlock);
    while (run_) {
      if (pa_simple_read(stream_, block.data(), block.size() * 2, nullptr) < 0) break;
      const auto now = Clock::now();
      int peak = 0;
      for (int16_t v : block) peak = std::max(peak, std::abs(static_cast<int>(v)));
      std::lock_guard lock(mutex_);
      if (armed_ && !seen_ && peak > 2000) {
        seen_ = true;
        armed_ = false;
        at_ = now;
      }
    }
  }
  pa_simple* stream_ = nullptr;
  std::atomic<bool> run_{true};
  std::thread thread_;
  std::mutex mutex_;
  bool armed_ = false, seen_ = false;
  Clock::time_point at_;
};

// Plays bursts of a tone into the sink "mic" when asked, silence otherwise.
class BurstPlayer {
 public:
  explicit BurstPlayer(const std::string& server) {
    pa_sample_spec format{PA_SAMPLE_S16NE, kRate, 1};
    pa_buffer_attr attr{};
    attr.maxlength = static_cast<uint32_t>(-1);
    attr.tlength = kBlock * 2 * 2;
    attr.prebuf = static_cast<uint32_t>(-1);
    attr.minreq = static_cast<uint32_t>(-1);
    int error = 0;
    stream_ = pa_simple_new(server.c_str(), "bench-burst", PA_STREAM_PLAYBACK, "mic", "burst", &format, nullptr,
                            &attr, &error);
    if (stream_) thread_ = std::thread([this] { Run(); });
  }
  ~BurstPlayer() {
    run_ = false;
    if (thread_.joinable()) thread_.join();
    if (stream_) pa_simple_free(stream_);
  }
  bool Ok() const { return stream_ != nullptr; }
  void Burst() { left_ = kRate * 3 / 10; }  // 300 ms

 private:
  void Run() {
    std::vector<int16_t> block(kBlock);
    size_t n = 0;
    while (run_) {
      for (int16_t& v : block) {
        v = left_ > 0 ? static_cast<int16_t>(12000 * std::sin(2 * M_PI * 1000.0 * n / kRate)) : 0;
        if (left_ > 0) --left_;
        ++n;
      }
      if (pa_simple_write(stream_, block.data(), block.size() * 2, nullptr) < 0) break;
    }
  }
  pa_simple* stream_ = nullptr;
  std::atomic<bool> run_{true};
  std::atomic<int> left_{0};
  std::thread thread_;
};

bool AddMicrophoneSink(const PrivateSoundServer& server) {
  const std::string command = "pactl -s '" + server.Address() + "' load-module module-null-sink sink_name=mic rate=" +
                              std::to_string(kRate) + " channels=1 >/dev/null 2>&1";
  return std::system(command.c_str()) == 0;
}

std::vector<std::string> Settings(int sipPort, const std::string& source, const std::string& player, bool answer) {
  std::vector<std::string> s = {"LocalAddress=127.0.0.1", "SipPort=" + std::to_string(sipPort),
                                "AudioSource=" + source, "AudioPlayer=" + player};
  if (answer) s.push_back("AnswerAtOnce=1");
  return s;
}

bool AwaitCall(PhoneUnderTest& phone) {
  for (;;) {
    const auto line = phone.NextEvent(5000);
    if (!line) return false;
    if (line->rfind("CALL", 0) == 0) return true;
    if (line->rfind("ERROR", 0) == 0 || *line == "BUSY") return false;
  }
}

}  // namespace

int main(int argc, char** argv) {
  int calls = 20, seconds = 10;
  bool alsa = false;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--alsa") == 0) alsa = true;
    if (i + 1 < argc && std::strcmp(argv[i], "--calls") == 0) calls = std::atoi(argv[i + 1]);
    if (i + 1 < argc && std::strcmp(argv[i], "--seconds") == 0) seconds = std::atoi(argv[i + 1]);
  }
  if (const std::string missing = BaresipMissing(); !missing.empty()) {
    std::printf("%s: no figures\n", missing.c_str());
    return 0;
  }

  // Set-up: no sound devices at all (ALSA's null device), the lift answers at once.
  {
    const int liftPort = FreeSipPort();
    PhoneUnderTest lift, dispatcher;
    if (!lift.Start(Settings(liftPort, "alsa,null", "alsa,null", true), {}, true, "lift") ||
        !dispatcher.Start(Settings(FreeSipPort(), "alsa,null", "alsa,null", false))) {
      std::printf("the phones did not start\n");
      return 1;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    std::printf("idle CPU, phone + baresip (ALSA null):  %.2f %% of a core over %d s\n",
                CpuPercent(dispatcher, seconds), seconds);
    std::vector<double> setup;
    for (int i = 0; i < calls; ++i) {
      const auto start = Clock::now();
      dispatcher.Send("c lift@127.0.0.1:" + std::to_string(liftPort));
      if (AwaitCall(dispatcher)) setup.push_back(Ms(Clock::now() - start));
      dispatcher.Send("h");
      while (auto line = dispatcher.NextEvent(2000))
        if (*line == "END" || line->rfind("ERROR", 0) == 0) break;
      while (lift.NextEvent(300)) {
      }
    }
    Summary("call set-up, c to CALL", setup, "under 300 ms");
  }

  // Mouth to ear, and CPU in a call, through two private PulseAudios.
  PrivateSoundServer dispatcherSound, liftSound;
  if (!dispatcherSound.Start() || !liftSound.Start() || !AddMicrophoneSink(dispatcherSound)) {
    std::printf("no private PulseAudio: no mouth-to-ear figures\n");
    return 0;
  }
  BurstPlayer mouth(dispatcherSound.Address());
  OnsetWatch atMouth(dispatcherSound.Address(), "mic.monitor");
  OnsetWatch atEar(liftSound.Address(), "capture.monitor");
  const int liftPort = FreeSipPort();
  PhoneUnderTest lift, dispatcher;
  if (!mouth.Ok() || !atMouth.Ok() || !atEar.Ok() ||
      !lift.Start(Settings(liftPort, "capture.monitor", "capture", true), {"PULSE_SERVER=" + liftSound.Address()}, true,
                  "lift") ||
      !dispatcher.Start(alsa ? Settings(FreeSipPort(), "alsa,pulse", "alsa,pulse", false)
                             : Settings(FreeSipPort(), "mic.monitor", "capture", false),
                        {"PULSE_SERVER=" + dispatcherSound.Address(),
                         // ALSA's plug-in records the server's default source.
                         "PULSE_SOURCE=mic.monitor"})) {
    std::printf("the phones or the sound streams did not start\n");
    return 1;
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  std::printf("idle CPU, phone + baresip (%s): %.2f %% of a core over %d s\n", alsa ? "ALSA plug-in" : "PulseAudio",
              CpuPercent(dispatcher, seconds), seconds);
  dispatcher.Send("c lift@127.0.0.1:" + std::to_string(liftPort));
  if (!AwaitCall(dispatcher)) {
    std::printf("the call did not connect\n");
    return 1;
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(1500));  // past the jitter buffer's start
  std::vector<double> latency;
  for (int i = 0; i < 10; ++i) {
    atMouth.Arm();
    atEar.Arm();
    mouth.Burst();
    std::this_thread::sleep_for(std::chrono::milliseconds(1000));
    Clock::time_point said, heard;
    if (atMouth.Seen(said) && atEar.Seen(heard)) latency.push_back(Ms(heard - said));
  }
  Summary(alsa ? "mouth to ear (ALSA pulse plug-in, G.711)" : "mouth to ear (PulseAudio module, G.711)", latency,
          "under 150 ms");
  std::printf("CPU in a call, phone + baresip:         %.2f %% of a core over %d s\n", CpuPercent(dispatcher, seconds),
              seconds);
  dispatcher.Send("h");
  return 0;
}
