// A playback stream through PulseAudio's simple client, its server buffer
// about 40 ms, so that a pause or a jump is heard at once.
#include <pulse/error.h>
#include <pulse/simple.h>

#include <chrono>
#include <thread>

#include "platform/audio_stream.h"

namespace vertamo {
namespace {

constexpr int kBufferedMs = 40;

class TSoundServerStream final : public IAudioStream {
 public:
  TSoundServerStream(std::string server, std::string clientName)
      : server_(std::move(server)), clientName_(std::move(clientName)) {}
  ~TSoundServerStream() override { Close(); }

  bool Open(int rate, int channels, std::string* error) override {
    Close();
    pa_sample_spec format{};
    format.format = PA_SAMPLE_S16NE;
    format.rate = static_cast<uint32_t>(rate);
    format.channels = static_cast<uint8_t>(channels);
    pa_buffer_attr attr{};
    attr.maxlength = static_cast<uint32_t>(-1);
    attr.tlength = static_cast<uint32_t>(rate * channels * 2 * kBufferedMs / 1000);
    attr.prebuf = 0;
    attr.minreq = static_cast<uint32_t>(-1);
    attr.fragsize = static_cast<uint32_t>(-1);
    int code = 0;
    stream_ = pa_simple_new(server_.empty() ? nullptr : server_.c_str(), clientName_.c_str(), PA_STREAM_PLAYBACK,
                            nullptr, "record", &format, nullptr, &attr, &code);
    frameBytes_ = static_cast<size_t>(channels) * 2;
    if (stream_ == nullptr && error) *error = pa_strerror(code);
    return stream_ != nullptr;
  }

  bool Write(const int16_t* frames, size_t count) override {
    int code = 0;
    return stream_ != nullptr && pa_simple_write(stream_, frames, count * frameBytes_, &code) >= 0;
  }

  void Drop() override {
    if (stream_ != nullptr) pa_simple_flush(stream_, nullptr);
  }

  // Not pa_simple_drain: a drain whose stream the server dropped meanwhile
  // is never answered. What the server holds is waited out by its latency.
  void Finish() override {
    if (stream_ == nullptr) return;
    int code = 0;
    const pa_usec_t left = pa_simple_get_latency(stream_, &code);
    if (left != static_cast<pa_usec_t>(-1)) std::this_thread::sleep_for(std::chrono::microseconds(left));
  }

  void Close() override {
    if (stream_ != nullptr) pa_simple_free(stream_);
    stream_ = nullptr;
  }

 private:
  const std::string server_;
  const std::string clientName_;
  pa_simple* stream_ = nullptr;
  size_t frameBytes_ = 4;
};

}  // namespace

std::unique_ptr<IAudioStream> CreateSoundServerStream(const std::string& server, const std::string& clientName) {
  return std::make_unique<TSoundServerStream>(server, clientName);
}

}  // namespace vertamo
