// An Ogg Opus file of two channels, each coded as a mono stream of its own
// (channel mapping family 1, two uncoupled streams). Opus's stereo coding
// would let a loud side leak into a quiet one at speech bit rates; two
// streams keep the dispatcher and the far end apart at any rate. Players and
// libsndfile read it as ordinary two-channel Opus.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

struct OpusMSEncoder;

namespace vertamo {

class TOggOpusWriter {
 public:
  // Each channel's bit rate: 10 kbit/s codes narrow-band speech clearly and
  // keeps an hour of both channels near 9 MB.
  static constexpr int kBitsPerChannel = 10000;

  TOggOpusWriter();
  ~TOggOpusWriter();
  TOggOpusWriter(const TOggOpusWriter&) = delete;
  TOggOpusWriter& operator=(const TOggOpusWriter&) = delete;

  // Whether Opus codes this sample rate (8, 12, 16, 24 or 48 kHz).
  static bool RateSupported(int rate);
  // Starts the file on `fd` (left open; the caller closes it). False with
  // Error() when the rate is not supported or the headers cannot be written.
  bool Open(int fd, int rate);
  // Interleaved frames, left then right.
  bool Write(const int16_t* frames, size_t count);
  // Codes what is left and ends the stream; the file is then complete.
  bool Finish();
  const std::string& Error() const { return error_; }

 private:
  bool Encode(bool last);
  bool Flush(bool force);
  bool Put(const void* data, size_t size);

  int fd_ = -1;
  int rate_ = 0;
  int frameSize_ = 0;     // samples per channel in a 20 ms packet
  int granuleScale_ = 1;  // 48 kHz granules per input sample
  int preSkip_ = 0;
  OpusMSEncoder* encoder_ = nullptr;
  struct TStream;
  std::unique_ptr<TStream> stream_;
  std::vector<int16_t> pending_;  // interleaved, less than one packet
  int64_t written_ = 0;           // input frames coded so far
  int64_t packetNo_ = 0;
  std::string error_;
};

}  // namespace vertamo
