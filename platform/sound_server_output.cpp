// The sound output through PulseAudio's simple client: one playback stream per
// sound, fed from the calling thread in blocks of about 10 ms, with a server
// buffer of about 40 ms, so that a stop is heard within a few tens of
// milliseconds and an idle workstation holds no stream open.
#include <pulse/error.h>
#include <pulse/simple.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/audio_output.h"

namespace vertamo {
namespace {

constexpr int kBlocksPerSecond = 100;  // 10 ms a block
constexpr int kBufferedBlocks = 4;     // what the server holds ahead

class TSoundServerOutput final : public IAudioOutput {
 public:
  TSoundServerOutput(std::string server, std::string clientName, TAudioLog log)
      : server_(std::move(server)), clientName_(std::move(clientName)), log_(std::move(log)) {}

  bool PlayWaveFile(const std::string& path, const std::function<bool()>& stop, int lowerDb) override;

 private:
  enum class TState { Unknown, Up, Down };
  void Report(bool up, const std::string& why);
  // Waits until what the server holds has been heard, or a stop.
  static bool WaitPlayed(pa_simple* stream, const std::function<bool()>& stop);

  const std::string server_;
  const std::string clientName_;
  const TAudioLog log_;
  std::mutex mutex_;
  TState state_ = TState::Unknown;
};

bool Stopped(const std::function<bool()>& stop) { return stop && stop(); }

bool TSoundServerOutput::PlayWaveFile(const std::string& path, const std::function<bool()>& stop, int lowerDb) {
  TWaveReader reader;
  if (!reader.Open(path)) return false;
  const int channels = reader.Channels();
  const size_t blockFrames = static_cast<size_t>(std::max(1, reader.Rate() / kBlocksPerSecond));
  const size_t frameBytes = sizeof(int16_t) * static_cast<size_t>(channels);

  pa_sample_spec format{};
  format.format = PA_SAMPLE_S16NE;
  format.rate = static_cast<uint32_t>(reader.Rate());
  format.channels = static_cast<uint8_t>(channels);
  pa_buffer_attr attr{};
  attr.maxlength = static_cast<uint32_t>(-1);
  attr.tlength = static_cast<uint32_t>(blockFrames * frameBytes * kBufferedBlocks);
  attr.prebuf = 0;  // start with the first block, never wait for a fuller buffer
  attr.minreq = static_cast<uint32_t>(-1);
  attr.fragsize = static_cast<uint32_t>(-1);
  int error = 0;
  pa_simple* stream =
      pa_simple_new(server_.empty() ? nullptr : server_.c_str(), clientName_.c_str(), PA_STREAM_PLAYBACK,
                    nullptr, "notification", &format, nullptr, &attr, &error);
  if (stream == nullptr) {
    Report(false, pa_strerror(error));
    return false;
  }
  Report(true, {});

  std::vector<int16_t> block(blockFrames * static_cast<size_t>(channels));
  const double gain = std::pow(10.0, -std::max(lowerDb, 0) / 20.0);
  bool stopped = false;
  bool lost = false;
  for (;;) {
    if (Stopped(stop)) {
      stopped = true;
      break;
    }
    const size_t frames = reader.Read(block.data(), blockFrames);
    if (frames == 0) break;
    if (lowerDb > 0)
      for (size_t i = 0; i < frames * static_cast<size_t>(channels); ++i)
        block[i] = static_cast<int16_t>(std::lround(block[i] * gain));
    if (pa_simple_write(stream, block.data(), frames * frameBytes, &error) < 0) {
      lost = true;
      break;
    }
  }
  // No pa_simple_drain: a drain whose stream the server dropped meanwhile is
  // never answered, and the thread, and with it the workstation's close,
  // would wait for good. What the server holds is waited out by its latency.
  if (!stopped && !lost) stopped = !WaitPlayed(stream, stop);
  // A stop drops what the server still holds instead of letting it play out.
  if (stopped) pa_simple_flush(stream, nullptr);
  pa_simple_free(stream);
  if (lost) Report(false, pa_strerror(error));
  return !lost;
}

bool TSoundServerOutput::WaitPlayed(pa_simple* stream, const std::function<bool()>& stop) {
  using Clock = std::chrono::steady_clock;
  int error = 0;
  const pa_usec_t left = pa_simple_get_latency(stream, &error);
  if (left == static_cast<pa_usec_t>(-1)) return true;
  const Clock::time_point until = Clock::now() + std::chrono::microseconds(left);
  for (;;) {
    if (Stopped(stop)) return false;
    const Clock::time_point now = Clock::now();
    if (now >= until) return true;
    std::this_thread::sleep_for(std::min<Clock::duration>(until - now, std::chrono::milliseconds(10)));
  }
}

void TSoundServerOutput::Report(bool up, const std::string& why) {
  std::string line;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (up) {
      if (state_ == TState::Down) line = "sound server is back: notification sounds play again";
      state_ = TState::Up;
    } else {
      if (state_ == TState::Up)
        line = "sound server went away (" + why + "): notification sounds are silent until it is back";
      else if (state_ == TState::Unknown)
        line = "no sound server (" + why + "): notification sounds are silent until one is reachable";
      state_ = TState::Down;
    }
  }
  if (!line.empty() && log_) log_(line);
}

}  // namespace

std::unique_ptr<IAudioOutput> CreateSoundServerOutput(const std::string& server,
                                                      const std::string& clientName, TAudioLog log) {
  return std::make_unique<TSoundServerOutput>(server, clientName, std::move(log));
}

}  // namespace vertamo
