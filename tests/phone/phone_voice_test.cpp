// Voice flows both ways through two real phones on loopback: the dispatcher's
// microphone reaches the lift's speaker and the lift's microphone the
// dispatcher's. Each phone has a private PulseAudio of its own, with a
// second null sink "mic" whose monitor is the phone's microphone; a tone is
// played into it, and the server's recorder hears the phone's speaker.
#include <gtest/gtest.h>
#include <pulse/simple.h>
#include <sndfile.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdlib>
#include <thread>

#include "phone_under_test.h"
#include "support/private_sound_server.h"

namespace vertamo::testing {
namespace {

constexpr int kRate = PrivateSoundServer::kRate;
constexpr int kVoiceEventMs = 8000;

// Plays a sine into the sink "mic" of a server until destroyed.
class ToneIntoMicrophone {
 public:
  ToneIntoMicrophone(const std::string& server, double hertz) {
    thread_ = std::thread([this, server, hertz] {
      pa_sample_spec format{PA_SAMPLE_S16NE, kRate, 1};
      pa_buffer_attr attr{};
      attr.maxlength = static_cast<uint32_t>(-1);
      attr.tlength = kRate / 50 * 2;  // 20 ms ahead
      attr.prebuf = static_cast<uint32_t>(-1);
      attr.minreq = static_cast<uint32_t>(-1);
      int error = 0;
      pa_simple* s = pa_simple_new(server.c_str(), "test-tone", PA_STREAM_PLAYBACK, "mic", "tone", &format,
                                   nullptr, &attr, &error);
      if (s == nullptr) return;
      std::vector<int16_t> block(kRate / 100);
      size_t n = 0;
      while (run_) {
        for (int16_t& v : block) v = static_cast<int16_t>(8000 * std::sin(2 * M_PI * hertz * n++ / kRate));
        if (pa_simple_write(s, block.data(), block.size() * 2, &error) < 0) break;
      }
      pa_simple_free(s);
    });
  }
  ~ToneIntoMicrophone() {
    run_ = false;
    thread_.join();
  }

 private:
  std::atomic<bool> run_{true};
  std::thread thread_;
};

// The share of the samples' energy at `hertz` (Goertzel over the whole block).
double ShareAt(const std::vector<int16_t>& x, double hertz, int rate = kRate) {
  const double w = 2 * M_PI * hertz / rate, coeff = 2 * std::cos(w);
  double s1 = 0, s2 = 0, total = 0;
  for (int16_t v : x) {
    const double s0 = v + coeff * s1 - s2;
    s2 = s1;
    s1 = s0;
    total += static_cast<double>(v) * v;
  }
  const double power = s1 * s1 + s2 * s2 - coeff * s1 * s2;
  return total > 0 ? 2 * power / static_cast<double>(x.size()) / total : 0;
}

// The last half second (a whole number of periods of both tones).
std::vector<int16_t> LastHalfSecond(const PrivateSoundServer& server) {
  const std::vector<int16_t> all = server.Recorded();
  if (all.size() < static_cast<size_t>(kRate / 2)) return {};
  return std::vector<int16_t>(all.end() - kRate / 2, all.end());
}

bool AddMicrophoneSink(const PrivateSoundServer& server) {
  const std::string command = "pactl -s '" + server.Address() +
                              "' load-module module-null-sink sink_name=mic rate=" + std::to_string(kRate) +
                              " channels=1 >/dev/null 2>&1";
  return std::system(command.c_str()) == 0;
}

TEST(RealPhoneVoice, TonesFlowBothWaysInOneCall) {
  if (const std::string missing = BaresipMissing(); !missing.empty()) GTEST_SKIP() << missing;
  PrivateSoundServer dispatcherSound, liftSound;
  ASSERT_TRUE(dispatcherSound.Start()) << dispatcherSound.Error();
  ASSERT_TRUE(liftSound.Start()) << liftSound.Error();
  ASSERT_TRUE(AddMicrophoneSink(dispatcherSound));
  ASSERT_TRUE(AddMicrophoneSink(liftSound));
  ToneIntoMicrophone dispatcherVoice(dispatcherSound.Address(), 1000);
  ToneIntoMicrophone liftVoice(liftSound.Address(), 440);

  const int liftPort = FreeSipPort();
  const std::vector<std::string> audio = {"LocalAddress=127.0.0.1", "AudioSource=mic.monitor",
                                          "AudioPlayer=capture"};
  std::vector<std::string> liftSettings = audio;
  liftSettings.insert(liftSettings.end(), {"SipPort=" + std::to_string(liftPort), "AnswerAtOnce=1"});
  std::vector<std::string> dispatcherSettings = audio;
  dispatcherSettings.push_back("SipPort=" + std::to_string(FreeSipPort()));
  PhoneUnderTest lift, dispatcher;
  ASSERT_TRUE(lift.Start(liftSettings, {"PULSE_SERVER=" + liftSound.Address()}, true, "lift"));
  ASSERT_TRUE(dispatcher.Start(dispatcherSettings, {"PULSE_SERVER=" + dispatcherSound.Address()}));

  dispatcher.Send("c lift@127.0.0.1:" + std::to_string(liftPort));
  ASSERT_EQ(dispatcher.NextEvent(kVoiceEventMs).value_or("").rfind("CALL", 0), 0u) << dispatcher.Log();
  // Past the ring tones and the jitter buffer's start, the best half second
  // of each side within 8 s: a machine loaded by other tests may drop a
  // packet now and then, which is not what this test is about.
  std::this_thread::sleep_for(std::chrono::milliseconds(1500));
  double atLift = 0, atDispatcher = 0;
  for (int i = 0; i < 26 && (atLift < 0.9 || atDispatcher < 0.9); ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(250));
    atLift = std::max(atLift, ShareAt(LastHalfSecond(liftSound), 1000));
    atDispatcher = std::max(atDispatcher, ShareAt(LastHalfSecond(dispatcherSound), 440));
  }
  EXPECT_GE(atLift, 0.9) << atLift << ": the dispatcher's 1 kHz at the lift's speaker";
  EXPECT_GE(atDispatcher, 0.9) << atDispatcher << ": the lift's 440 Hz at the dispatcher's speaker";
  dispatcher.Send("h");
  EXPECT_EQ(dispatcher.NextEvent(kVoiceEventMs), "END");

  // The dispatcher's phone recorded the conversation: its 1 kHz on the left
  // channel, the lift's 440 Hz on the right, once the record is made (within
  // a few seconds of the end).
  ASSERT_FALSE(dispatcher.RecordLines().empty());
  const std::string rec = dispatcher.RecordLines().front();
  ASSERT_EQ(rec.rfind("REC Records/", 0), 0u) << rec;
  const std::string file = dispatcher.Folder().file(rec.substr(4));
  SF_INFO info{};
  SNDFILE* record = nullptr;
  for (int i = 0; i < 100 && record == nullptr; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    record = sf_open(file.c_str(), SFM_READ, &info);
  }
  ASSERT_NE(record, nullptr) << file << "\n" << dispatcher.Log();
  ASSERT_EQ(info.channels, 2);
  const size_t second = static_cast<size_t>(info.samplerate);
  std::vector<int16_t> frames(static_cast<size_t>(info.frames) * 2);
  sf_readf_short(record, frames.data(), info.frames);
  sf_close(record);
  // The best half second of each channel, as above (the first second rings
  // and fills the jitter buffer; a loaded machine drops a packet now and then).
  double left = 0, right = 0;
  const size_t half = second / 2;
  for (size_t from = 0; from + half <= frames.size() / 2; from += half / 2) {
    std::vector<int16_t> l(half), r(half);
    for (size_t i = 0; i < half; ++i) {
      l[i] = frames[2 * (from + i)];
      r[i] = frames[2 * (from + i) + 1];
    }
    left = std::max(left, ShareAt(l, 1000, info.samplerate));
    right = std::max(right, ShareAt(r, 440, info.samplerate));
  }
  EXPECT_GE(left, 0.9) << "the dispatcher's 1 kHz on the record's left channel";
  EXPECT_GE(right, 0.9) << "the lift's 440 Hz on the record's right channel";
}

}  // namespace
}  // namespace vertamo::testing
