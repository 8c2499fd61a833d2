// PlaySoundFile: a sound played at once, beside the sound thread's queue,
// without the caller waiting for it (the voice window's key-press sound).
// A new sound cuts the one still playing.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "platform/audio_output.h"

namespace vertamo {

class TSoundFilePlayer {
 public:
  // `output` outlives the player.
  explicit TSoundFilePlayer(IAudioOutput& output);
  // Cuts the playing sound and waits for the player's thread.
  ~TSoundFilePlayer();
  TSoundFilePlayer(const TSoundFilePlayer&) = delete;
  TSoundFilePlayer& operator=(const TSoundFilePlayer&) = delete;

  // Starts the file and returns at once: true when it is a readable WAVE
  // file (its sound then starts), false when it is missing or unreadable
  // (nothing plays, no default sound either).
  bool PlaySoundFile(const std::string& fileName);
  // Cuts the playing sound, if any.
  void Stop();

 private:
  void Run();

  IAudioOutput& output_;
  std::mutex mutex_;
  std::condition_variable wake_;
  std::optional<std::string> next_;
  uint64_t generation_ = 0;  // raised by every new sound and every stop
  bool quit_ = false;
  std::thread thread_;
};

}  // namespace vertamo
