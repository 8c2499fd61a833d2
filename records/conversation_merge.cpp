#include "records/conversation_merge.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <vector>

#include "platform/audio_output.h"
#include "platform/folders.h"
#include "platform/raw_file.h"
#include "records/ogg_opus_writer.h"
#include "records/record_place.h"

namespace vertamo {
namespace {

constexpr int kFallbackRate = 16000;
constexpr size_t kBlock = 4096;  // frames read at a time

// One direction, mono, brought to the record's rate a block at a time
// (linear interpolation; only a call whose two sides run at different rates
// needs it).
class TDirection {
 public:
  bool Open(const std::string& path) { return open_ = reader_.Open(path); }
  int Rate() const { return open_ ? reader_.Rate() : 0; }
  void SetOutputRate(int rate) { step_ = open_ ? static_cast<double>(reader_.Rate()) / rate : 0; }

  // Up to `count` samples at the output rate; fewer only at the end.
  size_t Read(int16_t* out, size_t count) {
    size_t made = 0;
    while (made < count) {
      // Input samples `at` and `at + 1` must be at hand.
      while (open_ && position_ + 1 >= static_cast<double>(base_ + input_.size())) {
        if (!Refill()) break;
      }
      const double offset = position_ - static_cast<double>(base_);
      const size_t i = static_cast<size_t>(offset);
      if (i >= input_.size()) break;
      const double next = i + 1 < input_.size() ? input_[i + 1] : input_[i];
      const double fraction = offset - static_cast<double>(i);
      out[made++] = static_cast<int16_t>(input_[i] + (next - input_[i]) * fraction);
      position_ += step_;
    }
    return made;
  }

 private:
  bool Refill() {
    std::vector<int16_t> frames(kBlock * static_cast<size_t>(reader_.Channels()));
    const size_t n = reader_.Read(frames.data(), kBlock);
    if (n == 0) {
      open_ = false;
      return false;
    }
    // Keep the last sample for the interpolation across blocks.
    const size_t keep = input_.empty() ? 0 : 1;
    base_ += static_cast<int64_t>(input_.size() - keep);
    input_.erase(input_.begin(), input_.end() - static_cast<std::ptrdiff_t>(keep));
    for (size_t f = 0; f < n; ++f) {
      int sum = 0;
      for (int c = 0; c < reader_.Channels(); ++c) sum += frames[f * static_cast<size_t>(reader_.Channels()) + static_cast<size_t>(c)];
      input_.push_back(static_cast<int16_t>(sum / reader_.Channels()));
    }
    return true;
  }

  TWaveReader reader_;
  bool open_ = false;
  double step_ = 1;
  double position_ = 0;  // in input samples
  int64_t base_ = 0;     // input sample number of input_[0]
  std::vector<int16_t> input_;
};

bool Fail(std::string* error, std::string why) {
  if (error) *error = std::move(why);
  return false;
}

}  // namespace

bool MergeConversation(const std::string& sentWave, const std::string& receivedWave, const std::string& target,
                       std::string* error) {
  TDirection sent, received;
  const bool haveSent = sent.Open(sentWave), haveReceived = received.Open(receivedWave);
  if (!haveSent && !haveReceived) return Fail(error, "neither direction of the call was recorded");
  const int wanted = haveSent ? sent.Rate() : received.Rate();
  const int rate = TOggOpusWriter::RateSupported(wanted) ? wanted : kFallbackRate;
  sent.SetOutputRate(rate);
  received.SetOutputRate(rate);

  const std::string unfinished = target + kUnfinishedSuffix;
  const int fd = OpenRegularFile(unfinished, O_WRONLY | O_CREAT | O_TRUNC, 0600);
  if (fd < 0) return Fail(error, "cannot create " + unfinished + ": " + std::strerror(errno));
  TOggOpusWriter writer;
  bool written = writer.Open(fd, rate);
  std::vector<int16_t> left(kBlock), right(kBlock), frames(2 * kBlock);
  while (written) {
    const size_t l = sent.Read(left.data(), kBlock);
    const size_t r = received.Read(right.data(), kBlock);
    const size_t n = std::max(l, r);
    if (n == 0) break;
    std::fill(left.begin() + static_cast<std::ptrdiff_t>(l), left.end(), 0);
    std::fill(right.begin() + static_cast<std::ptrdiff_t>(r), right.end(), 0);
    for (size_t i = 0; i < n; ++i) {
      frames[2 * i] = left[i];
      frames[2 * i + 1] = right[i];
    }
    written = writer.Write(frames.data(), n);
  }
  written = written && writer.Finish() && ::fsync(fd) == 0;
  std::string why = writer.Error().empty() ? std::string(std::strerror(errno)) : writer.Error();
  if (::close(fd) != 0 && written) {
    written = false;
    why = std::strerror(errno);
  }
  if (written && !ReplaceFile(unfinished, target)) {
    written = false;
    why = std::string("cannot rename: ") + std::strerror(errno);
  }
  if (!written) {
    RemoveFile(unfinished);
    return Fail(error, "cannot write " + target + ": " + why);
  }
  return true;
}

}  // namespace vertamo
