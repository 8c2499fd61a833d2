#include "records/ogg_opus_writer.h"

#include <ogg/ogg.h>
#include <opus/opus_multistream.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <random>

namespace vertamo {
namespace {

constexpr int kChannels = 2;
constexpr int kGranuleRate = 48000;  // Ogg Opus counts time in 48 kHz samples

void Put16(unsigned char* at, unsigned value) {
  at[0] = static_cast<unsigned char>(value & 0xFF);
  at[1] = static_cast<unsigned char>(value >> 8 & 0xFF);
}

void Put32(unsigned char* at, uint32_t value) {
  for (int i = 0; i < 4; ++i) at[i] = static_cast<unsigned char>(value >> (8 * i) & 0xFF);
}

}  // namespace

struct TOggOpusWriter::TStream {
  ogg_stream_state state;
  ~TStream() { ogg_stream_clear(&state); }
};

TOggOpusWriter::TOggOpusWriter() = default;

TOggOpusWriter::~TOggOpusWriter() {
  if (encoder_ != nullptr) opus_multistream_encoder_destroy(encoder_);
}

bool TOggOpusWriter::RateSupported(int rate) {
  return rate == 8000 || rate == 12000 || rate == 16000 || rate == 24000 || rate == 48000;
}

bool TOggOpusWriter::Open(int fd, int rate) {
  if (!RateSupported(rate)) {
    error_ = "Opus does not code " + std::to_string(rate) + " Hz";
    return false;
  }
  fd_ = fd;
  rate_ = rate;
  frameSize_ = rate / 50;
  granuleScale_ = kGranuleRate / rate;
  const unsigned char mapping[kChannels] = {0, 1};
  int status = OPUS_OK;
  encoder_ = opus_multistream_encoder_create(rate, kChannels, kChannels, 0, mapping, OPUS_APPLICATION_VOIP, &status);
  if (encoder_ == nullptr || status != OPUS_OK) {
    error_ = std::string("Opus encoder: ") + opus_strerror(status);
    return false;
  }
  opus_multistream_encoder_ctl(encoder_, OPUS_SET_BITRATE(kBitsPerChannel * kChannels));
  opus_multistream_encoder_ctl(encoder_, OPUS_SET_SIGNAL(OPUS_SIGNAL_VOICE));
  // A fifth of the encoder's effort: an hour's record is made in seconds of a
  // core rather than a minute, and speech at this rate is as clear.
  opus_multistream_encoder_ctl(encoder_, OPUS_SET_COMPLEXITY(2));
  opus_int32 lookahead = 0;
  opus_multistream_encoder_ctl(encoder_, OPUS_GET_LOOKAHEAD(&lookahead));
  preSkip_ = lookahead * granuleScale_;

  stream_ = std::make_unique<TStream>();
  ogg_stream_init(&stream_->state, static_cast<int>(std::random_device{}() & 0x7FFFFFFF));
  // The identification header: version 1, the channels, the decoder's
  // pre-skip, the input rate, no gain, mapping family 1 with two streams,
  // none of them coupled, channel i from stream i.
  unsigned char head[21 + kChannels] = {'O', 'p', 'u', 's', 'H', 'e', 'a', 'd', 1, kChannels};
  Put16(head + 10, static_cast<unsigned>(preSkip_));
  Put32(head + 12, static_cast<uint32_t>(rate));
  Put16(head + 16, 0);
  head[18] = 1;
  head[19] = kChannels;
  head[20] = 0;
  std::memcpy(head + 21, mapping, kChannels);
  ogg_packet packet{};
  packet.packet = head;
  packet.bytes = sizeof head;
  packet.b_o_s = 1;
  packet.packetno = packetNo_++;
  ogg_stream_packetin(&stream_->state, &packet);
  if (!Flush(true)) return false;

  static constexpr char kVendor[] = "vertamo";
  std::vector<unsigned char> tags(8 + 4 + sizeof kVendor - 1 + 4);
  std::memcpy(tags.data(), "OpusTags", 8);
  Put32(tags.data() + 8, sizeof kVendor - 1);
  std::memcpy(tags.data() + 12, kVendor, sizeof kVendor - 1);
  Put32(tags.data() + 12 + sizeof kVendor - 1, 0);
  packet = {};
  packet.packet = tags.data();
  packet.bytes = static_cast<long>(tags.size());
  packet.packetno = packetNo_++;
  ogg_stream_packetin(&stream_->state, &packet);
  return Flush(true);
}

bool TOggOpusWriter::Write(const int16_t* frames, size_t count) {
  if (encoder_ == nullptr) return false;
  pending_.insert(pending_.end(), frames, frames + count * kChannels);
  while (pending_.size() >= static_cast<size_t>(frameSize_ * kChannels))
    if (!Encode(false)) return false;
  return true;
}

bool TOggOpusWriter::Finish() {
  if (encoder_ == nullptr) return false;
  return Encode(true) && Flush(true);
}

bool TOggOpusWriter::Encode(bool last) {
  const size_t packetSamples = static_cast<size_t>(frameSize_ * kChannels);
  const int64_t real = static_cast<int64_t>(std::min(pending_.size(), packetSamples) / kChannels);
  // The last packet is padded with silence; its granule position tells the
  // decoder where the sound really ends.
  pending_.resize(std::max(pending_.size(), packetSamples), 0);
  unsigned char out[1500];
  const int bytes = opus_multistream_encode(encoder_, pending_.data(), frameSize_, out, sizeof out);
  if (bytes < 0) {
    error_ = std::string("Opus encoder: ") + opus_strerror(bytes);
    return false;
  }
  pending_.erase(pending_.begin(), pending_.begin() + static_cast<std::ptrdiff_t>(packetSamples));
  written_ += real;
  ogg_packet packet{};
  packet.packet = out;
  packet.bytes = bytes;
  packet.granulepos = preSkip_ + written_ * granuleScale_;
  packet.e_o_s = last ? 1 : 0;
  packet.packetno = packetNo_++;
  ogg_stream_packetin(&stream_->state, &packet);
  return Flush(false);
}

bool TOggOpusWriter::Flush(bool force) {
  ogg_page page;
  while (force ? ogg_stream_flush(&stream_->state, &page) : ogg_stream_pageout(&stream_->state, &page))
    if (!Put(page.header, static_cast<size_t>(page.header_len)) || !Put(page.body, static_cast<size_t>(page.body_len)))
      return false;
  return true;
}

bool TOggOpusWriter::Put(const void* data, size_t size) {
  const char* at = static_cast<const char*>(data);
  while (size > 0) {
    const ssize_t n = ::write(fd_, at, size);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      error_ = std::strerror(n < 0 ? errno : ENOSPC);
      return false;
    }
    at += n;
    size -= static_cast<size_t>(n);
  }
  return true;
}

}  // namespace vertamo
