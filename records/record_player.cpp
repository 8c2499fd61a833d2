#include "records/record_player.h"

#include <sndfile.h>

#include <algorithm>
#include <utility>
#include <vector>

namespace vertamo {
namespace {

constexpr int kBlocksPerSecond = 50;  // 20 ms a block

SNDFILE* File(void* file) { return static_cast<SNDFILE*>(file); }

}  // namespace

TRecordPlayer::TRecordPlayer(std::unique_ptr<IAudioStream> stream) : stream_(std::move(stream)) {
  thread_ = std::thread([this] { Run(); });
}

TRecordPlayer::~TRecordPlayer() {
  {
    std::lock_guard lock(mutex_);
    quit_ = true;
    playing_ = false;
  }
  wake_.notify_all();
  thread_.join();
  CloseFile();
}

void TRecordPlayer::CloseFile() {
  if (file_ != nullptr) sf_close(File(file_));
  file_ = nullptr;
  rate_ = channels_ = 0;
  frames_ = position_ = 0;
}

bool TRecordPlayer::Open(const std::string& path, std::string* error) {
  std::unique_lock lock(mutex_);
  playing_ = false;
  wake_.notify_all();
  wake_.wait(lock, [this] { return !busy_; });
  CloseFile();
  problem_.clear();
  SF_INFO info{};
  SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
  if (file == nullptr || info.channels < 1 || info.channels > 2 || info.samplerate < 1000) {
    if (error) *error = file == nullptr ? sf_strerror(nullptr) : "not a record of one or two channels";
    if (file != nullptr) sf_close(file);
    return false;
  }
  file_ = file;
  rate_ = info.samplerate;
  channels_ = info.channels;
  frames_ = info.frames;
  seekTo_ = -1;
  return true;
}

void TRecordPlayer::Play() {
  {
    std::lock_guard lock(mutex_);
    if (file_ == nullptr) return;
    if (position_ >= frames_) seekTo_ = 0;
    playing_ = true;
    problem_.clear();
  }
  wake_.notify_all();
}

void TRecordPlayer::Pause() {
  std::lock_guard lock(mutex_);
  playing_ = false;
  wake_.notify_all();
}

void TRecordPlayer::Stop() {
  std::lock_guard lock(mutex_);
  playing_ = false;
  seekTo_ = 0;
  position_ = 0;
  wake_.notify_all();
}

void TRecordPlayer::Seek(double seconds) {
  std::lock_guard lock(mutex_);
  if (file_ == nullptr) return;
  seekTo_ = std::clamp<int64_t>(static_cast<int64_t>(seconds * rate_), 0, frames_);
  position_ = seekTo_;
  wake_.notify_all();
}

void TRecordPlayer::SetChannels(TRecordChannels channels) {
  std::lock_guard lock(mutex_);
  which_ = channels;
}

bool TRecordPlayer::Playing() const {
  std::lock_guard lock(mutex_);
  return playing_;
}

bool TRecordPlayer::Opened() const {
  std::lock_guard lock(mutex_);
  return file_ != nullptr;
}

double TRecordPlayer::Position() const {
  std::lock_guard lock(mutex_);
  return rate_ > 0 ? static_cast<double>(position_) / rate_ : 0;
}

double TRecordPlayer::Duration() const {
  std::lock_guard lock(mutex_);
  return rate_ > 0 ? static_cast<double>(frames_) / rate_ : 0;
}

std::string TRecordPlayer::Problem() const {
  std::lock_guard lock(mutex_);
  return problem_;
}

void TRecordPlayer::WaitStopped() const {
  std::unique_lock lock(mutex_);
  wake_.wait(lock, [this] { return !playing_ && !busy_; });
}

void TRecordPlayer::Run() {
  std::vector<float> read;
  std::vector<int16_t> out;
  bool open = false;  // the stream, which only this thread touches
  std::unique_lock lock(mutex_);
  for (;;) {
    wake_.wait(lock, [this] { return quit_ || playing_; });
    if (quit_) break;
    if (seekTo_ >= 0) {
      sf_seek(File(file_), seekTo_, SEEK_SET);
      position_ = std::exchange(seekTo_, -1);
      if (open) stream_->Drop();
    }
    const int rate = rate_, channels = channels_;
    const size_t block = static_cast<size_t>(std::max(1, rate / kBlocksPerSecond));
    read.resize(block * static_cast<size_t>(channels));
    const sf_count_t n = sf_readf_float(File(file_), read.data(), static_cast<sf_count_t>(block));
    if (n <= 0) {
      // The end: what the server holds is heard out, then the player rests.
      position_ = frames_;
      busy_ = true;
      lock.unlock();
      if (open) {
        stream_->Finish();
        stream_->Close();
        open = false;
      }
      lock.lock();
      busy_ = false;
      playing_ = false;
      wake_.notify_all();
      continue;
    }
    out.resize(static_cast<size_t>(n) * 2);
    for (sf_count_t i = 0; i < n; ++i) {
      const float left = read[static_cast<size_t>(i * channels)];
      const float right = channels > 1 ? read[static_cast<size_t>(i * channels + 1)] : left;
      const float l = which_ == TRecordChannels::FarEnd ? right : left;
      const float r = which_ == TRecordChannels::Dispatcher ? left : right;
      out[static_cast<size_t>(2 * i)] = static_cast<int16_t>(std::clamp(l, -1.0f, 1.0f) * 32767);
      out[static_cast<size_t>(2 * i + 1)] = static_cast<int16_t>(std::clamp(r, -1.0f, 1.0f) * 32767);
    }
    position_ += n;
    busy_ = true;
    lock.unlock();
    std::string why;
    bool written = open || (open = stream_->Open(rate, 2, &why));
    written = written && stream_->Write(out.data(), static_cast<size_t>(n));
    lock.lock();
    busy_ = false;
    if (!written) {
      problem_ = why.empty() ? "the sound server went away" : why;
      playing_ = false;
    }
    if (!playing_ && open) {
      // A pause, a stop or a fault: nothing more of this is heard.
      lock.unlock();
      stream_->Drop();
      stream_->Close();
      open = false;
      lock.lock();
    }
    wake_.notify_all();
  }
  if (open) {
    lock.unlock();
    stream_->Drop();
    stream_->Close();
  }
}

int PlayRecordToEnd(const std::string& path, const std::string& server, std::string* error) {
  TRecordPlayer player(CreateSoundServerStream(server, "Vertamo"));
  if (!player.Open(path, error)) return 1;
  player.Play();
  player.WaitStopped();
  if (player.Problem().empty()) return 0;
  if (error) *error = "no sound server: " + player.Problem();
  return 2;
}

}  // namespace vertamo
