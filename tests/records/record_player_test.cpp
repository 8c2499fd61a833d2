// A record heard again: each side on the channels chosen, from the moment
// chosen, and nothing more once paused.
#include "records/record_player.h"

#include <gtest/gtest.h>
#include <sndfile.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <thread>
#include <vector>

#include "records/conversation_merge.h"
#include "support/private_sound_server.h"
#include "support/temp_folder.h"

namespace vertamo {
namespace {

// What the sound server would have played; `blockMs` of real time per write.
class HeardStream final : public IAudioStream {
 public:
  explicit HeardStream(int blockMs = 0) : blockMs_(blockMs) {}
  bool Open(int rate, int channels, std::string*) override {
    rate_ = rate;
    channels_ = channels;
    return true;
  }
  bool Write(const int16_t* frames, size_t count) override {
    if (blockMs_ > 0) std::this_thread::sleep_for(std::chrono::milliseconds(blockMs_));
    std::lock_guard lock(mutex_);
    heard_.insert(heard_.end(), frames, frames + count * 2);
    return true;
  }
  void Drop() override { ++drops_; }
  void Finish() override {}
  void Close() override {}

  std::vector<int16_t> Heard() const {
    std::lock_guard lock(mutex_);
    return heard_;
  }
  int rate_ = 0, channels_ = 0;
  std::atomic<int> drops_{0};

 private:
  int blockMs_;
  mutable std::mutex mutex_;
  std::vector<int16_t> heard_;
};

void WriteTone(const std::string& path, double hertz, double seconds) {
  SF_INFO info{};
  info.samplerate = 8000;
  info.channels = 1;
  info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
  SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
  std::vector<short> samples(static_cast<size_t>(8000 * seconds));
  for (size_t i = 0; i < samples.size(); ++i) samples[i] = static_cast<short>(8000 * std::sin(2 * M_PI * hertz * i / 8000));
  sf_write_short(file, samples.data(), static_cast<sf_count_t>(samples.size()));
  sf_close(file);
}

// Share of one channel's energy at `hertz`.
double Share(const std::vector<int16_t>& frames, int channel, double hertz) {
  double s1 = 0, s2 = 0, total = 0;
  const double k = 2 * std::cos(2 * M_PI * hertz / 8000);
  const size_t n = frames.size() / 2;
  for (size_t i = 0; i < n; ++i) {
    const double x = frames[2 * i + static_cast<size_t>(channel)];
    total += x * x;
    const double s = x + k * s1 - s2;
    s2 = s1;
    s1 = s;
  }
  return total > 0 ? (s1 * s1 + s2 * s2 - k * s1 * s2) * 2 / static_cast<double>(n) / total : 0;
}

class RecordPlayerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    WriteTone(work.file("enc.wav"), 1000, 1.0);
    WriteTone(work.file("dec.wav"), 440, 1.0);
    ASSERT_TRUE(MergeConversation(work.file("enc.wav"), work.file("dec.wav"), record, nullptr));
  }
  testing::TempFolder work;
  const std::string record = work.file("r.opus");
};

TEST_F(RecordPlayerTest, EachSideOnTheChannelsChosen) {
  const struct {
    TRecordChannels which;
    double left, right;  // the tone heard on each speaker
  } cases[] = {{TRecordChannels::Both, 1000, 440},
               {TRecordChannels::Dispatcher, 1000, 1000},
               {TRecordChannels::FarEnd, 440, 440}};
  for (const auto& c : cases) {
    auto stream = std::make_unique<HeardStream>();
    HeardStream& heard = *stream;
    TRecordPlayer player(std::move(stream));
    ASSERT_TRUE(player.Open(record, nullptr));
    EXPECT_NEAR(player.Duration(), 1.0, 0.03);
    player.SetChannels(c.which);
    player.Play();
    player.WaitStopped();
    EXPECT_EQ(heard.channels_, 2);
    EXPECT_NEAR(static_cast<double>(heard.Heard().size() / 2), 8000, 240);
    EXPECT_GT(Share(heard.Heard(), 0, c.left), 0.9) << static_cast<int>(c.which);
    EXPECT_GT(Share(heard.Heard(), 1, c.right), 0.9) << static_cast<int>(c.which);
    EXPECT_NEAR(player.Position(), player.Duration(), 1e-9) << "at the end";
  }
}

TEST_F(RecordPlayerTest, AJumpPlaysFromThereAndAPauseIsTheEndOfIt) {
  auto stream = std::make_unique<HeardStream>(5);
  HeardStream& heard = *stream;
  TRecordPlayer player(std::move(stream));
  ASSERT_TRUE(player.Open(record, nullptr));
  player.Seek(0.6);
  player.Play();
  player.WaitStopped();
  EXPECT_NEAR(static_cast<double>(heard.Heard().size() / 2), 0.4 * 8000, 240);

  // From the start again; paused midway, what the server held is dropped
  // and nothing more is written.
  player.Play();
  std::this_thread::sleep_for(std::chrono::milliseconds(60));
  const int dropsBefore = heard.drops_;
  player.Pause();
  player.WaitStopped();
  const size_t written = heard.Heard().size();
  const double at = player.Position();
  EXPECT_GT(at, 0.0);
  EXPECT_LT(at, 1.0);
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  EXPECT_EQ(heard.Heard().size(), written);
  EXPECT_GT(heard.drops_, dropsBefore);
  EXPECT_EQ(player.Position(), at) << "a pause keeps the place";
}

TEST_F(RecordPlayerTest, WhatIsNoRecordDoesNotOpen) {
  TRecordPlayer player(std::make_unique<HeardStream>());
  testing::WriteWholeFile(work.file("x.opus"), "not a record");
  std::string error;
  EXPECT_FALSE(player.Open(work.file("x.opus"), &error));
  EXPECT_FALSE(error.empty());
  EXPECT_FALSE(player.Opened());
  player.Play();  // nothing to play: nothing happens
  EXPECT_FALSE(player.Playing());
}

// The script's way: the whole record to a sound server (the private one's
// sink mixes both channels to mono), or the reason it could not be played.
TEST_F(RecordPlayerTest, APlayedRecordReachesTheSoundServer) {
  testing::PrivateSoundServer server;
  if (!server.Start()) GTEST_SKIP() << server.Error();
  std::string error;
  ASSERT_EQ(PlayRecordToEnd(record, server.Address(), &error), 0) << error;
  std::vector<int16_t> heard = server.Recorded();
  ASSERT_GT(heard.size(), static_cast<size_t>(testing::PrivateSoundServer::kRate / 2));
  // The sink's mono at 16 kHz taken at 8 kHz, as two channels of the same
  // for Share's sake; the best quarter second (the sink also heard the
  // silence around the record, and a slow machine may leave gaps in it).
  std::vector<int16_t> pairs;
  for (size_t i = 0; i + 1 < heard.size(); i += 2) pairs.insert(pairs.end(), {heard[i], heard[i]});
  double both = 0, farEnd = 0;
  for (size_t from = 0; from + 4000 <= pairs.size(); from += 1000) {
    const std::vector<int16_t> window(pairs.begin() + static_cast<std::ptrdiff_t>(from),
                                      pairs.begin() + static_cast<std::ptrdiff_t>(from + 4000));
    if (const double sum = Share(window, 0, 1000) + Share(window, 0, 440); sum > both) {
      both = sum;
      farEnd = Share(window, 0, 440);
    }
  }
  EXPECT_GT(both, 0.8) << "both sides heard";
  EXPECT_GT(farEnd, 0.2);

  EXPECT_EQ(PlayRecordToEnd(work.file("none.opus"), server.Address(), &error), 1);
  EXPECT_EQ(PlayRecordToEnd(record, "unix:" + work.file("no-server"), &error), 2);
  EXPECT_NE(error.find("no sound server"), std::string::npos) << error;
}

}  // namespace
}  // namespace vertamo
