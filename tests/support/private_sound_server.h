// A PulseAudio server of the test's own, with one null sink, and a recorder of
// everything that reaches that sink; tones to play into it.
//
// The server runs as a child process in a fresh temporary folder (its socket,
// runtime and state files live there), speaks only on that socket, and ends
// with the object. It never touches the machine's own sound server or session
// bus: the child's environment names nothing but the temporary folder.
#pragma once

#include <fcntl.h>
#include <pulse/error.h>
#include <pulse/simple.h>
#include <signal.h>
#include <sndfile.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "support/spawn_logged.h"
#include "support/temp_folder.h"

namespace vertamo::testing {

class PrivateSoundServer {
 public:
  static constexpr int kRate = 16000;  // the sink's rate, mono

  PrivateSoundServer() = default;
  ~PrivateSoundServer() { Stop(); }
  PrivateSoundServer(const PrivateSoundServer&) = delete;
  PrivateSoundServer& operator=(const PrivateSoundServer&) = delete;

  // PulseAudio's name of the server, valid before it starts.
  std::string Address() const { return "unix:" + folder_.file("native"); }
  // Why Start failed.
  const std::string& Error() const { return error_; }

  // Starts the server and the recorder; false (and Error) when pulseaudio
  // cannot be run or does not answer within 10 s.
  bool Start() {
    const std::string config = folder_.file("server.pa");
    WriteWholeFile(
        config, "load-module module-native-protocol-unix auth-anonymous=1 socket=" + folder_.file("native") +
                    "\nload-module module-null-sink sink_name=capture rate=" + std::to_string(kRate) +
                    " channels=1\nset-default-sink capture\n");
    std::vector<std::string> args = {"pulseaudio",
                                     "-n",
                                     "--daemonize=no",
                                     "--system=false",
                                     "--exit-idle-time=-1",
                                     "--use-pid-file=no",
                                     "--disable-shm=yes",
                                     "--realtime=false",
                                     "--high-priority=false",
                                     "--log-target=stderr",
                                     "-F",
                                     config};
    std::vector<std::string> env = {"HOME=" + folder_.path(),
                                    "XDG_RUNTIME_DIR=" + folder_.path(),
                                    "XDG_CONFIG_HOME=" + folder_.file("config"),
                                    "PULSE_RUNTIME_PATH=" + folder_.file("runtime"),
                                    "PULSE_STATE_PATH=" + folder_.file("state"),
                                    PathVariable()};
    pid_ = SpawnLogged(args, env, folder_.file("server.log"));
    if (pid_ < 0) {
      error_ = "pulseaudio cannot be run (is the pulseaudio package installed?)";
      return false;
    }
    for (int i = 0; i < 200 && !Answers(); ++i) {
      if (::waitpid(pid_, nullptr, WNOHANG) == pid_) {
        pid_ = -1;
        error_ = "pulseaudio ended at once: " + ReadWholeFile(folder_.file("server.log"));
        return false;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    if (!StartRecorder()) {
      error_ = "the private pulseaudio does not answer: " + ReadWholeFile(folder_.file("server.log"));
      Stop();
      return false;
    }
    return true;
  }

  // Ends the recorder and the server (what was recorded stays readable).
  void Stop() {
    recording_ = false;
    if (pid_ > 0) {
      ::kill(pid_, SIGTERM);
      ::waitpid(pid_, nullptr, 0);
      pid_ = -1;
    }
    if (recorder_.joinable()) recorder_.join();
  }

  // Samples that reached the sink since Start, mono at kRate.
  std::vector<int16_t> Recorded() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return recorded_;
  }
  size_t RecordedFrames() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return recorded_.size();
  }
  // Waits until `until` holds for the recording, at most `bound`.
  template <typename Pred>
  bool WaitRecorded(Pred until, std::chrono::milliseconds bound) const {
    const auto end = std::chrono::steady_clock::now() + bound;
    for (;;) {
      if (until(Recorded())) return true;
      if (std::chrono::steady_clock::now() > end) return false;
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
  }

 private:
  bool Answers() const {
    const std::string path = folder_.file("native");
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    if (path.size() >= sizeof addr.sun_path) return false;
    std::copy(path.begin(), path.end(), addr.sun_path);
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const bool ok = ::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0;
    ::close(fd);
    return ok;
  }

  bool StartRecorder() {
    pa_sample_spec format{PA_SAMPLE_S16NE, kRate, 1};
    pa_buffer_attr attr{};
    attr.maxlength = static_cast<uint32_t>(-1);
    attr.fragsize = kRate / 100 * 2;  // 10 ms
    int error = 0;
    pa_simple* stream = pa_simple_new(Address().c_str(), "test-recorder", PA_STREAM_RECORD, "capture.monitor",
                                      "recorder", &format, nullptr, &attr, &error);
    if (stream == nullptr) return false;
    recording_ = true;
    recorder_ = std::thread([this, stream] {
      std::vector<int16_t> block(kRate / 100);
      while (recording_) {
        if (pa_simple_read(stream, block.data(), block.size() * 2, nullptr) < 0) break;
        std::lock_guard<std::mutex> lock(mutex_);
        recorded_.insert(recorded_.end(), block.begin(), block.end());
      }
      pa_simple_free(stream);
    });
    return true;
  }

  TempFolder folder_;
  pid_t pid_ = -1;
  std::string error_;
  std::atomic<bool> recording_{false};
  std::thread recorder_;
  mutable std::mutex mutex_;
  std::vector<int16_t> recorded_;
};

// One stretch of sound in a recording.
struct TSoundSpan {
  double start = 0, end = 0;  // seconds from the recording's start
  double hertz = 0;           // estimated from zero crossings
  double Length() const { return end - start; }
};

// The stretches where the recording is loud (windows of 5 ms above a
// threshold), with gaps below about 60 ms closed.
inline std::vector<TSoundSpan> SoundSpans(const std::vector<int16_t>& samples,
                                          int rate = PrivateSoundServer::kRate) {
  const size_t window = static_cast<size_t>(rate / 200);
  const size_t maxGap = static_cast<size_t>(rate / 16);
  // The pitch counts the loud windows only: a sound server short of time may
  // leave a gap inside a sound, which must not lower its pitch.
  struct Loud {
    size_t from, to, crossings, loudSamples;
  };
  std::vector<Loud> loud;
  for (size_t at = 0; at + window <= samples.size(); at += window) {
    int peak = 0;
    size_t crossings = 0;
    for (size_t i = at; i < at + window; ++i) {
      peak = std::max(peak, std::abs(static_cast<int>(samples[i])));
      if (i > at) crossings += (samples[i - 1] < 0) != (samples[i] < 0);
    }
    if (peak < 1000) continue;
    if (!loud.empty() && at - loud.back().to <= maxGap) {
      loud.back().to = at + window;
      loud.back().crossings += crossings;
      loud.back().loudSamples += window - 1;
    } else {
      loud.push_back({at, at + window, crossings, window - 1});
    }
  }
  std::vector<TSoundSpan> spans;
  for (const Loud& stretch : loud) {
    TSoundSpan span;
    span.start = static_cast<double>(stretch.from) / rate;
    span.end = static_cast<double>(stretch.to) / rate;
    span.hertz = stretch.crossings / 2.0 / (static_cast<double>(stretch.loudSamples) / rate);
    spans.push_back(span);
  }
  return spans;
}

// A sine tone as a WAVE file of the given layout.
inline bool WriteTone(const std::string& path, double hertz, double seconds, int rate = 16000,
                      int channels = 1, int format = SF_FORMAT_WAV | SF_FORMAT_PCM_16) {
  SF_INFO info{};
  info.samplerate = rate;
  info.channels = channels;
  info.format = format;
  SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
  if (file == nullptr) return false;
  const auto frames = static_cast<size_t>(seconds * rate);
  std::vector<double> samples(frames * static_cast<size_t>(channels));
  for (size_t i = 0; i < frames; ++i)
    for (int c = 0; c < channels; ++c)
      samples[i * static_cast<size_t>(channels) + static_cast<size_t>(c)] =
          0.25 * std::sin(2 * M_PI * hertz * static_cast<double>(i) / rate);
  sf_writef_double(file, samples.data(), static_cast<sf_count_t>(frames));
  sf_close(file);
  return true;
}

}  // namespace vertamo::testing
