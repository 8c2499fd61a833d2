// Figures of the notification sounds: what PlayByName costs the connection
// thread (its folder probing included, warm file cache), what an idle sound
// thread costs, and, with a private PulseAudio server, how soon a queued
// sound is heard and how soon a flush silences a playing one.
//
// bench_sound [--idle-seconds N]   (default 30)
#include <time.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "support/private_sound_server.h"
#include "sounds/sound_thread.h"

using namespace vertamo;
using Clock = std::chrono::steady_clock;

namespace {

double Micros(Clock::duration d) { return std::chrono::duration<double, std::micro>(d).count(); }

double ProcessCpuSeconds() {
  timespec ts{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
  return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) / 1e9;
}

void Touch(const std::string& path) { testing::WriteWholeFile(path, "RIFF"); }

void PlayByNameCost() {
  testing::TempFolder root;
  const std::string program = root.file("program/"), work = root.file("work/");
  for (const char* sub : {"Wave/a", "Wave/b", "Wave/c"}) std::filesystem::create_directories(program + sub);
  std::filesystem::create_directories(work + "Wave");
  for (const char* name : {"Alarm.wav", "Loop.wav", "Call.wav", "KeyPress.wav"})
    Touch(program + "Wave/" + name);
  Touch(program + "Wave/c/Deep.wav");
  Touch(work + "Wave/Work.wav");
  TSilentAudioOutput silent;
  SoundThread thread(silent, program, work);  // never started: the queue only fills

  std::printf("PlayByName on the calling thread (warm cache), goal < 100 us:\n");
  const struct {
    const char* what;
    const char* name;
  } cases[] = {{"program Wave", "Alarm.wav"},
               {"work Wave", "Work.wav"},
               {"sub-folder", "Deep.wav"},
               {"other letter case", "ALARM.WAV"},
               {"no such file", "Missing.wav"},
               {"with a path", "C:\\Sounds\\Alarm.wav"},
               {"pause", "500"}};
  for (const auto& c : cases) {
    constexpr int kCalls = 20000;
    std::vector<double> times;
    times.reserve(kCalls);
    for (int i = 0; i < 200; ++i) thread.PlayByName(c.name);
    thread.Flush();
    for (int i = 0; i < kCalls; ++i) {
      const Clock::time_point start = Clock::now();
      thread.PlayByName(c.name);
      times.push_back(Micros(Clock::now() - start));
      if (i % 1000 == 999) thread.Flush();
    }
    std::sort(times.begin(), times.end());
    double sum = 0;
    for (double t : times) sum += t;
    std::printf("  %-18s %-22s mean %6.2f us  median %6.2f us  p99 %6.2f us\n", c.what, c.name, sum / kCalls,
                times[kCalls / 2], times[kCalls * 99 / 100]);
  }
}

void IdleCost(int seconds) {
  TSilentAudioOutput silent;
  SoundThread thread(silent, "/nonexistent/", "/nonexistent/");
  thread.Start();
  thread.Enqueue("/nonexistent/x.wav");  // one entry, then idle
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  const double cpu0 = ProcessCpuSeconds();
  const Clock::time_point t0 = Clock::now();
  std::this_thread::sleep_for(std::chrono::seconds(seconds));
  const double cpu = ProcessCpuSeconds() - cpu0;
  const double wall = std::chrono::duration<double>(Clock::now() - t0).count();
  std::printf(
      "Idle sound thread over %.0f s: %.4f %% of one core (%.3f ms of processor time), goal < 0.1 %%\n", wall,
      100.0 * cpu / wall, cpu * 1e3);
}

void Latencies() {
  testing::PrivateSoundServer server;
  if (!server.Start()) {
    std::printf("Start and stop of a sound: skipped, %s\n", server.Error().c_str());
    return;
  }
  testing::TempFolder files;
  const std::string tone = files.file("tone.wav");
  testing::WriteTone(tone, 440, 3.0);
  auto output = CreateSoundServerOutput(server.Address(), "bench", {});
  SoundThread thread(*output, files.folder(), files.folder());
  thread.Start();
  std::vector<double> starts, cuts;
  const auto rate = static_cast<double>(testing::PrivateSoundServer::kRate);
  for (int round = 0; round < 5; ++round) {
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    const size_t spansBefore = testing::SoundSpans(server.Recorded()).size();
    const double queuedAt = static_cast<double>(server.RecordedFrames()) / rate;
    thread.Enqueue(tone);
    auto heard = [&](const std::vector<int16_t>& s) { return testing::SoundSpans(s).size() > spansBefore; };
    if (!server.WaitRecorded(heard, std::chrono::seconds(10))) break;
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    const double flushedAt = static_cast<double>(server.RecordedFrames()) / rate;
    thread.Flush();
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    const auto spans = testing::SoundSpans(server.Recorded());
    if (spans.size() <= spansBefore) break;
    starts.push_back((spans.back().start - queuedAt) * 1e3);
    cuts.push_back((spans.back().end - flushedAt) * 1e3);
  }
  auto show = [](const char* what, std::vector<double> v) {
    if (v.empty()) return;
    std::sort(v.begin(), v.end());
    std::printf("  %-44s median %5.0f ms  max %5.0f ms (%zu rounds)\n", what, v[v.size() / 2], v.back(),
                v.size());
  };
  std::printf("Through a private PulseAudio server, as its null sink records it:\n");
  show("Enqueue on an idle thread -> sound heard", starts);
  show("Flush -> playing sound silent (goal ~50 ms)", cuts);
}

}  // namespace

int main(int argc, char** argv) {
  int idleSeconds = 30;
  for (int i = 1; i + 1 < argc; ++i)
    if (std::strcmp(argv[i], "--idle-seconds") == 0) idleSeconds = std::max(1, std::atoi(argv[i + 1]));
  PlayByNameCost();
  Latencies();
  IdleCost(idleSeconds);
  return 0;
}
