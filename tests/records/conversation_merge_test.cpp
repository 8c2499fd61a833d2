#include "records/conversation_merge.h"

#include <gtest/gtest.h>
#include <sndfile.h>
#include <sys/resource.h>

#include <algorithm>
#include <cmath>
#include <csignal>
#include <filesystem>
#include <vector>

#include "support/temp_folder.h"

namespace vertamo {
namespace {

// A mono WAVE file of `seconds` of a tone, as baresip's sndfile module writes one direction.
void WriteTone(const std::string& path, int rate, double hertz, double seconds) {
  SF_INFO info{};
  info.samplerate = rate;
  info.channels = 1;
  info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
  SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
  ASSERT_NE(file, nullptr);
  std::vector<short> samples(static_cast<size_t>(rate * seconds));
  for (size_t i = 0; i < samples.size(); ++i) samples[i] = static_cast<short>(8000 * std::sin(2 * M_PI * hertz * i / rate));
  sf_write_short(file, samples.data(), static_cast<sf_count_t>(samples.size()));
  sf_close(file);
}

struct TDecoded {
  int rate = 0, channels = 0;
  std::vector<float> frames;  // interleaved
  // Share of channel `c`'s energy at `hertz` (1: a pure tone there) over
  // its first `seconds`.
  double Share(int c, double hertz, double seconds = 1e9) const {
    const size_t n = std::min(frames.size() / 2, static_cast<size_t>(seconds * rate));
    double s1 = 0, s2 = 0, total = 0;
    const double k = 2 * std::cos(2 * M_PI * hertz / rate);
    for (size_t i = 0; i < n; ++i) {
      const double x = frames[2 * i + static_cast<size_t>(c)];
      total += x * x;
      const double s = x + k * s1 - s2;
      s2 = s1;
      s1 = s;
    }
    return total > 0 ? (s1 * s1 + s2 * s2 - k * s1 * s2) * 2 / static_cast<double>(n) / total : 0;
  }
  double Energy(int c) const {
    double total = 0;
    for (size_t i = static_cast<size_t>(c); i < frames.size(); i += 2) total += frames[i] * frames[i];
    return total;
  }
};

TDecoded Decode(const std::string& path) {
  TDecoded d;
  SF_INFO info{};
  SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
  if (file == nullptr) return d;
  d.rate = info.samplerate;
  d.channels = info.channels;
  d.frames.resize(static_cast<size_t>(info.frames * info.channels));
  sf_readf_float(file, d.frames.data(), info.frames);
  sf_close(file);
  return d;
}

TEST(ConversationMerge, EachSideKeepsItsChannelAtTheSentRate) {
  testing::TempFolder work;
  // The far end at another rate and shorter: brought to the sent side's rate, padded.
  WriteTone(work.file("enc.wav"), 8000, 1000, 2.0);
  WriteTone(work.file("dec.wav"), 16000, 440, 1.0);
  std::string error;
  ASSERT_TRUE(MergeConversation(work.file("enc.wav"), work.file("dec.wav"), work.file("r.opus"), &error)) << error;
  const TDecoded d = Decode(work.file("r.opus"));
  ASSERT_EQ(d.channels, 2);
  EXPECT_EQ(d.rate, 8000);
  EXPECT_NEAR(static_cast<double>(d.frames.size() / 2), 16000, 160);
  EXPECT_GT(d.Share(0, 1000), 0.9);
  EXPECT_GT(d.Share(1, 440, 1.0), 0.9);
  EXPECT_LT(d.Share(1, 1000, 1.0), 0.01);  // no leak of the dispatcher into the far end
  EXPECT_LT(d.Share(0, 440), 0.01);
  EXPECT_EQ(std::filesystem::status(work.file("r.opus")).permissions() & std::filesystem::perms::all,
            std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
}

TEST(ConversationMerge, OneSideMissingIsSilenceNeitherIsAFailure) {
  testing::TempFolder work;
  WriteTone(work.file("dec.wav"), 8000, 440, 1.0);
  ASSERT_TRUE(MergeConversation(work.file("none.wav"), work.file("dec.wav"), work.file("r.opus"), nullptr));
  const TDecoded d = Decode(work.file("r.opus"));
  EXPECT_LT(d.Energy(0), 1e-3 * d.Energy(1));

  std::string error;
  EXPECT_FALSE(MergeConversation(work.file("none.wav"), work.file("no.wav"), work.file("s.opus"), &error));
  EXPECT_FALSE(error.empty());
  EXPECT_FALSE(std::filesystem::exists(work.file("s.opus")));
}

TEST(ConversationMerge, AnHourStaysUnderTenMegabytes) {
  testing::TempFolder work;
  // A minute of both sides sounding at once, the most a call can cost.
  WriteTone(work.file("enc.wav"), 8000, 1000, 60);
  WriteTone(work.file("dec.wav"), 8000, 440, 60);
  ASSERT_TRUE(MergeConversation(work.file("enc.wav"), work.file("dec.wav"), work.file("r.opus"), nullptr));
  EXPECT_LT(std::filesystem::file_size(work.file("r.opus")) * 60, 10'000'000u);
}

TEST(ConversationMerge, AFullDiskLeavesNothingBehind) {
  testing::TempFolder work;
  WriteTone(work.file("enc.wav"), 8000, 1000, 10);
  // A file size limit stands in for a full disk: writes beyond it fail.
  std::signal(SIGXFSZ, SIG_IGN);
  rlimit old{};
  ::getrlimit(RLIMIT_FSIZE, &old);
  rlimit small = old;
  small.rlim_cur = 2000;
  ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
  std::string error;
  const bool merged = MergeConversation(work.file("enc.wav"), "", work.file("r.opus"), &error);
  ::setrlimit(RLIMIT_FSIZE, &old);
  EXPECT_FALSE(merged);
  EXPECT_NE(error.find("too large"), std::string::npos) << error;
  EXPECT_FALSE(std::filesystem::exists(work.file("r.opus")));
  EXPECT_FALSE(std::filesystem::exists(work.file("r.opus.part")));
}

}  // namespace
}  // namespace vertamo
