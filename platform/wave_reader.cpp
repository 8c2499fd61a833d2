#include <sndfile.h>

#include <algorithm>
#include <cmath>
#include <cstring>

#include <fcntl.h>
#include <unistd.h>

#include "platform/audio_output.h"
#include "platform/raw_file.h"

namespace vertamo {

struct TWaveReader::Memory {
  const unsigned char* data = nullptr;
  sf_count_t size = 0;
  sf_count_t pos = 0;

  static sf_count_t Length(void* self) { return static_cast<Memory*>(self)->size; }
  static sf_count_t Seek(sf_count_t offset, int whence, void* self) {
    Memory& m = *static_cast<Memory*>(self);
    sf_count_t base = whence == SEEK_CUR ? m.pos : whence == SEEK_END ? m.size : 0;
    const sf_count_t target = base + offset;
    if (target < 0 || target > m.size) return -1;
    m.pos = target;
    return m.pos;
  }
  static sf_count_t Read(void* out, sf_count_t count, void* self) {
    Memory& m = *static_cast<Memory*>(self);
    const sf_count_t n = std::max<sf_count_t>(0, std::min(count, m.size - m.pos));
    if (n > 0) std::memcpy(out, m.data + m.pos, static_cast<size_t>(n));
    m.pos += n;
    return n;
  }
  static sf_count_t Write(const void*, sf_count_t, void*) { return 0; }
  static sf_count_t Tell(void* self) { return static_cast<Memory*>(self)->pos; }
};

TWaveReader::TWaveReader() = default;

TWaveReader::~TWaveReader() { Close(); }

void TWaveReader::Close() {
  if (file_ != nullptr) sf_close(static_cast<SNDFILE*>(file_));
  file_ = nullptr;
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
  memory_.reset();
  rate_ = channels_ = 0;
  frames_ = 0;
}

bool TWaveReader::Open(const std::string& path) {
  Close();
  SF_INFO info{};
  // A FIFO under a sound's name must not hold the sound thread up for good.
  fd_ = OpenRegularFile(path, O_RDONLY, 0);
  if (fd_ < 0) return false;
  file_ = sf_open_fd(fd_, SFM_READ, &info, SF_FALSE);
  if (file_ == nullptr) Close();
  return file_ != nullptr && Accept(info);
}

bool TWaveReader::OpenMemory(const void* data, size_t size) {
  Close();
  memory_ = std::make_unique<Memory>();
  memory_->data = static_cast<const unsigned char*>(data);
  memory_->size = static_cast<sf_count_t>(size);
  static SF_VIRTUAL_IO io{&Memory::Length, &Memory::Seek, &Memory::Read, &Memory::Write, &Memory::Tell};
  SF_INFO info{};
  file_ = sf_open_virtual(&io, SFM_READ, &info, memory_.get());
  return file_ != nullptr && Accept(info);
}

// Only RIFF WAVE (plain or extensible) with a sane shape is played: the
// library would open other containers too.
bool TWaveReader::Accept(const SF_INFO& info) {
  const int major = info.format & SF_FORMAT_TYPEMASK;
  if ((major != SF_FORMAT_WAV && major != SF_FORMAT_WAVEX) || info.channels < 1 ||
      info.channels > kMaxChannels || info.samplerate < 1000 || info.samplerate > 192000) {
    Close();
    return false;
  }
  rate_ = info.samplerate;
  channels_ = info.channels;
  frames_ = info.frames;
  return true;
}

// Read through floats of full scale 1.0 (the library's common form for every
// stored layout, float data included), clipped into 16 bits.
size_t TWaveReader::Read(int16_t* out, size_t frames) {
  if (file_ == nullptr || frames == 0) return 0;
  buffer_.resize(frames * static_cast<size_t>(channels_));
  const sf_count_t n =
      sf_readf_float(static_cast<SNDFILE*>(file_), buffer_.data(), static_cast<sf_count_t>(frames));
  if (n <= 0) return 0;
  const size_t samples = static_cast<size_t>(n) * static_cast<size_t>(channels_);
  for (size_t i = 0; i < samples; ++i) {
    const float x = std::isnan(buffer_[i]) ? 0.0f : std::clamp(buffer_[i], -1.0f, 1.0f);
    out[i] = static_cast<int16_t>(std::lrint(x * 32767.0f));
  }
  return static_cast<size_t>(n);
}

}  // namespace vertamo
