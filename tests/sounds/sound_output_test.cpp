// Sounds through a private PulseAudio server, recorded at its null sink.
#include <gtest/gtest.h>
#include <sndfile.h>

#include <algorithm>
#include <cmath>
#include <mutex>
#include <string>
#include <vector>

#include "support/private_sound_server.h"
#include "support/temp_folder.h"
#include "sounds/sound_file_player.h"
#include "sounds/sound_thread.h"

namespace vertamo {
namespace {

using namespace std::chrono_literals;
using testing::PrivateSoundServer;
using testing::SoundSpans;
using testing::TempFolder;
using testing::TSoundSpan;
using testing::WriteTone;

// The spans of a recording whose pitch is near one of `hertz`, as indices
// into `hertz` (-1 for a span of another pitch).
std::vector<int> Pitches(const std::vector<TSoundSpan>& spans, const std::vector<double>& hertz) {
  std::vector<int> found;
  for (const TSoundSpan& span : spans) {
    int which = -1;
    for (size_t i = 0; i < hertz.size(); ++i)
      if (std::abs(span.hertz - hertz[i]) < hertz[i] * 0.1) which = static_cast<int>(i);
    found.push_back(which);
  }
  return found;
}

class SoundServerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!server_.Start()) GTEST_SKIP() << "no private PulseAudio server: " << server_.Error();
    output_ = CreateSoundServerOutput(server_.Address(), "vertamo-test", [this](const std::string& line) {
      std::lock_guard<std::mutex> lock(logMutex_);
      log_.push_back(line);
    });
  }
  std::string Tone(const std::string& name, double hertz, double seconds) {
    const std::string path = files_.file(name);
    EXPECT_TRUE(WriteTone(path, hertz, seconds));
    return path;
  }
  std::vector<std::string> Log() {
    std::lock_guard<std::mutex> lock(logMutex_);
    return log_;
  }
  // Waits (at most 20 s) until `count` sounds have been heard and the sink
  // has been quiet for a further second.
  std::vector<TSoundSpan> HeardSpans(size_t count) {
    std::vector<TSoundSpan> spans;
    server_.WaitRecorded(
        [&](const std::vector<int16_t>& samples) {
          spans = SoundSpans(samples);
          const double recorded = static_cast<double>(samples.size()) / PrivateSoundServer::kRate;
          return spans.size() >= count && recorded - spans.back().end > 1.0;
        },
        20s);
    return spans;
  }

  PrivateSoundServer server_;
  TempFolder files_;
  std::unique_ptr<IAudioOutput> output_;
  std::mutex logMutex_;
  std::vector<std::string> log_;
};

TEST_F(SoundServerTest, QueuedSoundsPlayInOrderSpacedAndPausedAndUnreadableFilesAreSkipped) {
  const std::vector<double> hertz = {440, 880, 1320, 1760};
  const std::string a = Tone("a.wav", hertz[0], 0.3), b = Tone("b.wav", hertz[1], 0.3),
                    c = Tone("c.wav", hertz[2], 0.3), d = Tone("d.wav", hertz[3], 0.3);
  testing::WriteWholeFile(files_.file("text.wav"), "not a sound at all");
  SoundThread thread(*output_, files_.folder(), files_.folder());
  thread.Enqueue(a);
  thread.Enqueue(b);
  thread.EnqueuePause(500);
  thread.Enqueue(c);
  thread.Enqueue(files_.file("missing.wav"));
  thread.Enqueue(files_.file("text.wav"));
  thread.Enqueue(d);
  thread.Start();

  const std::vector<TSoundSpan> spans = HeardSpans(4);
  ASSERT_EQ(Pitches(spans, hertz), (std::vector<int>{0, 1, 2, 3}));
  for (const TSoundSpan& span : spans) EXPECT_NEAR(span.Length(), 0.3, 0.1);
  // Between two sounds at least the 100 ms poll; the pause adds its 500 ms
  // and the poll before it.
  const double gapAB = spans[1].start - spans[0].end;
  const double gapBC = spans[2].start - spans[1].end;
  EXPECT_GE(gapAB, 0.08);
  EXPECT_LE(gapAB, 0.5);
  EXPECT_NEAR(gapBC - gapAB, 0.6, 0.2);
  // Two entries that play nothing still take their poll each.
  EXPECT_GE(spans[3].start - spans[2].end, 0.25);
  EXPECT_TRUE(Log().empty());
}

// During a conversation the server's sounds play lowered: the same tone
// 20 dB down (a tenth of the amplitude), then at its own level.
TEST_F(SoundServerTest, ALoweredSoundPlaysTwentyDecibelsDown) {
  const std::string tone = Tone("tone.wav", 440, 0.4);
  ASSERT_TRUE(output_->PlayWaveFile(tone, {}, 20));
  ASSERT_TRUE(output_->PlayWaveFile(tone, {}, 0));
  std::vector<int16_t> samples;
  ASSERT_TRUE(server_.WaitRecorded(
      [&](const std::vector<int16_t>& recorded) {
        samples = recorded;
        const std::vector<TSoundSpan> spans = SoundSpans(recorded);
        return !spans.empty() && static_cast<double>(recorded.size()) / PrivateSoundServer::kRate - spans.back().end > 0.3;
      },
      20s));
  // Only the tone at its own level counts as loud; the lowered one is before it.
  const std::vector<TSoundSpan> spans = SoundSpans(samples);
  ASSERT_EQ(spans.size(), 1u);
  const auto peak = [&](double from, double to) {
    int most = 0;
    for (auto i = static_cast<size_t>(from * PrivateSoundServer::kRate);
         i < static_cast<size_t>(to * PrivateSoundServer::kRate) && i < samples.size(); ++i)
      most = std::max(most, std::abs(static_cast<int>(samples[i])));
    return most;
  };
  const int lowered = peak(0, spans[0].start - 0.01), full = peak(spans[0].start, spans[0].end);
  EXPECT_NEAR(20 * std::log10(static_cast<double>(full) / std::max(lowered, 1)), 20, 1.5) << lowered << " " << full;
}

TEST_F(SoundServerTest, FlushCutsThePlayingSoundAndDropsTheQueue) {
  const std::string longTone = Tone("long.wav", 440, 3.0), next = Tone("next.wav", 880, 0.3);
  SoundThread thread(*output_, files_.folder(), files_.folder());
  thread.Enqueue(longTone);
  thread.Enqueue(next);
  thread.Start();
  ASSERT_TRUE(server_.WaitRecorded([](const auto& samples) { return !SoundSpans(samples).empty(); }, 10s));
  const double flushedAt = static_cast<double>(server_.RecordedFrames()) / PrivateSoundServer::kRate;
  thread.Flush();
  EXPECT_TRUE(thread.Pending().empty());

  const std::vector<TSoundSpan> spans = HeardSpans(1);
  ASSERT_EQ(spans.size(), 1u) << "the queued sound after the flushed one must not play";
  EXPECT_LT(spans[0].end, flushedAt + 0.25) << "a flushed sound stops within a few tens of ms";
  EXPECT_LT(spans[0].Length(), 2.0);
}

TEST_F(SoundServerTest, TerminateEndsAPlayingSound) {
  const std::string longTone = Tone("long.wav", 440, 5.0);
  auto thread = std::make_unique<SoundThread>(*output_, files_.folder(), files_.folder());
  thread->Enqueue(longTone);
  thread->Enqueue(longTone);
  thread->Start();
  ASSERT_TRUE(server_.WaitRecorded([](const auto& samples) { return !SoundSpans(samples).empty(); }, 10s));
  thread.reset();  // the workstation closing
  const std::vector<TSoundSpan> spans = HeardSpans(1);
  ASSERT_EQ(spans.size(), 1u);
  EXPECT_LT(spans[0].Length(), 4.0);
}

TEST_F(SoundServerTest, PlaySoundFileStartsAtOnceAndRefusesWhatCannotPlay) {
  const std::string tone = Tone("key.wav", 1320, 0.2);
  testing::WriteWholeFile(files_.file("text.wav"), "RIFF....WAVEfmt ");
  TSoundFilePlayer player(*output_);
  EXPECT_FALSE(player.PlaySoundFile(files_.file("missing.wav")));
  EXPECT_FALSE(player.PlaySoundFile(files_.file("text.wav")));
  EXPECT_TRUE(player.PlaySoundFile(tone));
  const std::vector<TSoundSpan> spans = HeardSpans(1);
  ASSERT_EQ(Pitches(spans, {1320}), std::vector<int>{0});
}

// The output is made before its server runs, as on a desktop whose sound
// server starts late or restarts.
TEST(SoundServerAbsent, SilentWithOneLogLineThenPlaysWhenTheServerComes) {
  PrivateSoundServer server;
  TempFolder files;
  const std::string tone = files.file("tone.wav");
  ASSERT_TRUE(WriteTone(tone, 880, 0.2));
  std::vector<std::string> log;
  auto output = CreateSoundServerOutput(server.Address(), "vertamo-test",
                                        [&log](const std::string& line) { log.push_back(line); });
  EXPECT_FALSE(output->PlayWaveFile(tone, {}, 0));
  EXPECT_FALSE(output->PlayWaveFile(tone, {}, 0));
  ASSERT_EQ(log.size(), 1u);
  EXPECT_NE(log[0].find("no sound server"), std::string::npos) << log[0];

  if (!server.Start()) GTEST_SKIP() << "no private PulseAudio server: " << server.Error();
  EXPECT_TRUE(output->PlayWaveFile(tone, {}, 0));
  ASSERT_EQ(log.size(), 2u);
  EXPECT_NE(log[1].find("back"), std::string::npos) << log[1];
  EXPECT_TRUE(server.WaitRecorded([](const auto& samples) { return !SoundSpans(samples).empty(); }, 10s));
}

// WAVE layouts the decoder takes, and what it refuses.
TEST(WaveReader, OpensCommonWaveLayoutsAndRefusesOthers) {
  TempFolder files;
  struct Case {
    const char* name;
    int rate, channels, format;
    bool opens;
  };
  const Case cases[] = {
      {"pcm8.wav", 8000, 1, SF_FORMAT_WAV | SF_FORMAT_PCM_U8, true},
      {"pcm16.wav", 16000, 1, SF_FORMAT_WAV | SF_FORMAT_PCM_16, true},
      {"pcm24.wav", 44100, 2, SF_FORMAT_WAV | SF_FORMAT_PCM_24, true},
      {"pcm32.wav", 48000, 2, SF_FORMAT_WAV | SF_FORMAT_PCM_32, true},
      {"ulaw.wav", 8000, 1, SF_FORMAT_WAV | SF_FORMAT_ULAW, true},
      {"alaw.wav", 8000, 1, SF_FORMAT_WAV | SF_FORMAT_ALAW, true},
      {"float.wav", 22050, 1, SF_FORMAT_WAV | SF_FORMAT_FLOAT, true},
      {"extensible.wav", 16000, 1, SF_FORMAT_WAVEX | SF_FORMAT_PCM_16, true},
      {"quad.wav", 16000, 4, SF_FORMAT_WAV | SF_FORMAT_PCM_16, false},
      {"sound.aiff", 16000, 1, SF_FORMAT_AIFF | SF_FORMAT_PCM_16, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ASSERT_TRUE(WriteTone(files.file(c.name), 1000, 0.1, c.rate, c.channels, c.format));
    TWaveReader reader;
    ASSERT_EQ(reader.Open(files.file(c.name)), c.opens);
    if (!c.opens) continue;
    EXPECT_EQ(reader.Rate(), c.rate);
    EXPECT_EQ(reader.Channels(), c.channels);
    std::vector<int16_t> samples(static_cast<size_t>(c.rate / 10 * c.channels));
    EXPECT_EQ(reader.Read(samples.data(), static_cast<size_t>(c.rate / 10)),
              static_cast<size_t>(c.rate / 10));
    // A quarter of full scale, whatever the stored form.
    const int peak = std::abs(*std::max_element(
        samples.begin(), samples.end(), [](int16_t x, int16_t y) { return std::abs(x) < std::abs(y); }));
    EXPECT_NEAR(peak, 8192, 600);
  }
  testing::WriteWholeFile(files.file("text.wav"), "RIFF");
  EXPECT_FALSE(TWaveReader().Open(files.file("text.wav")));
  EXPECT_FALSE(TWaveReader().Open(files.file("missing.wav")));
}

}  // namespace
}  // namespace vertamo
