// A conversation's record heard again: decoded a block at a time on a
// thread of the player's own and played to the sound server, with pause, a
// jump to any moment, and the choice of both channels or one side (which is
// then heard on both speakers). Any thread may command it; a pause or a stop
// is heard within about 60 ms (a block being written and what the server
// holds, which is dropped).
#pragma once

#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "platform/audio_stream.h"

namespace vertamo {

enum class TRecordChannels { Both, Dispatcher, FarEnd };

class TRecordPlayer {
 public:
  explicit TRecordPlayer(std::unique_ptr<IAudioStream> stream);
  ~TRecordPlayer();
  TRecordPlayer(const TRecordPlayer&) = delete;
  TRecordPlayer& operator=(const TRecordPlayer&) = delete;

  // Stops what plays and opens the record at `path` (an Ogg Opus file of one
  // or two channels, or anything else libsndfile reads); false with `error`.
  bool Open(const std::string& path, std::string* error);
  // Plays from the position; from the start once it reached the end.
  void Play();
  void Pause();
  // Pauses and goes back to the start.
  void Stop();
  void Seek(double seconds);
  void SetChannels(TRecordChannels channels);

  bool Playing() const;
  bool Opened() const;
  double Position() const;  // seconds
  double Duration() const;
  // Why the last play stopped short (the sound server could not be reached
  // or went away); empty when it did not.
  std::string Problem() const;
  // Waits until the playing stopped (the end, a pause, a fault).
  void WaitStopped() const;

 private:
  void Run();
  void CloseFile();

  std::unique_ptr<IAudioStream> stream_;
  mutable std::mutex mutex_;
  mutable std::condition_variable wake_;
  void* file_ = nullptr;  // SNDFILE
  int rate_ = 0, channels_ = 0;
  int64_t frames_ = 0;
  int64_t position_ = 0;
  int64_t seekTo_ = -1;  // a jump asked for
  TRecordChannels which_ = TRecordChannels::Both;
  bool playing_ = false;
  bool busy_ = false;  // the thread is writing a block
  bool quit_ = false;
  std::string problem_;
  std::thread thread_;
};

// Plays the record at `path` to its end through the sound server `server`
// (empty: the user's own), for a supervisor's script: 0 when it was played,
// 1 when it is no readable record, 2 when no sound server took it; `error`
// says why.
int PlayRecordToEnd(const std::string& path, const std::string& server, std::string* error);

}  // namespace vertamo
