#include "sounds/sound_file_player.h"

namespace vertamo {

TSoundFilePlayer::TSoundFilePlayer(IAudioOutput& output) : output_(output), thread_([this] { Run(); }) {}

TSoundFilePlayer::~TSoundFilePlayer() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    quit_ = true;
    ++generation_;
  }
  wake_.notify_all();
  thread_.join();
}

bool TSoundFilePlayer::PlaySoundFile(const std::string& fileName) {
  TWaveReader probe;
  if (!probe.Open(fileName)) return false;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    next_ = fileName;
    ++generation_;
  }
  wake_.notify_all();
  return true;
}

void TSoundFilePlayer::Stop() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    next_.reset();
    ++generation_;
  }
  wake_.notify_all();
}

void TSoundFilePlayer::Run() {
  std::unique_lock<std::mutex> lock(mutex_);
  for (;;) {
    wake_.wait(lock, [this] { return quit_ || next_.has_value(); });
    if (quit_) return;
    const std::string file = std::move(*next_);
    next_.reset();
    const uint64_t generation = generation_;
    lock.unlock();
    output_.PlayWaveFile(file, [this, generation] {
      std::lock_guard<std::mutex> guard(mutex_);
      return generation_ != generation;
    }, 0);
    lock.lock();
  }
}

}  // namespace vertamo
