// SoundThread: the notification sounds of the workstation, played one after
// the other on a thread of their own, so that nobody who asks for a sound
// ever waits for one.
//
// The queue holds texts. One beginning with ":" is a pause of the decimal
// number of milliseconds after the colon (":500"), cut down to whole steps of
// 10 ms (a pause of 105 ms lasts 100 ms); any other is the path of a WAVE file,
// absolute or relative to the current folder (the work folder). Every entry
// is taken at least 100 ms after the previous one has finished, so two sounds
// never run into each other. An idle thread sleeps until something is queued.
//
// Three threads meet here: the connection thread calls PlayByName (the
// server's "PLAY"), the main thread calls Enqueue, and the sound thread
// plays. Adding, taking and clearing happen under one lock; playing happens
// outside it.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "platform/audio_output.h"

namespace vertamo {

// What a sound name from the server asks for.
struct TSoundRequest {
  enum class TKind { None, Pause, Sound };
  TKind kind = TKind::None;
  int pauseMs = 0;   // for a pause
  std::string path;  // for a sound: the file found
};

// The server's sound name resolved as PlayByName does it:
// - not ending in ".wav" (any case): a pause when it begins with a number of
//   100 to 3000 (milliseconds), else nothing;
// - else only its file-name part counts (everything up to the last "/", "\"
//   or ":" is dropped, so no name leaves the "Wave" folders), looked for in
//   programFolder + "Wave/", then workFolder + "Wave/", then in each
//   sub-folder of programFolder + "Wave/" in the order of their names. A file
//   of the same name in another letter case counts when no exact one exists.
// A file-name part longer than 255 bytes or holding control characters
// names nothing. Folders end in "/".
TSoundRequest ResolveSoundName(std::string_view name, const std::string& programFolder,
                               const std::string& workFolder);

class SoundThread {
 public:
  static constexpr std::chrono::milliseconds kPoll{100};
  static constexpr std::chrono::milliseconds kPauseStep{10};
  static constexpr int kMinPauseMs = 100;
  static constexpr int kMaxPauseMs = 3000;

  // `output` outlives the thread. Folders end in "/".
  SoundThread(IAudioOutput& output, std::string programFolder, std::string workFolder);
  // Terminate.
  ~SoundThread();
  SoundThread(const SoundThread&) = delete;
  SoundThread& operator=(const SoundThread&) = delete;

  void Start();
  // Ends the thread: the playing sound or pause is cut, the queue is flushed
  // and the thread is waited for. Also for a thread never started.
  void Terminate();

  // Any thread. Appends a copy of the entry.
  void Enqueue(std::string_view entry);
  // Any thread. Appends ":" and the number.
  void EnqueuePause(int milliseconds);
  // Any thread (the connection thread for "PLAY"): resolves the name
  // (ResolveSoundName) and queues what it finds; never waits on playback.
  void PlayByName(std::string_view name);
  // Any thread. Drops every queued entry and cuts the sound or pause that is
  // playing; entries queued afterwards play as usual.
  void Flush();

  // The entries waiting, oldest first.
  std::vector<std::string> Pending() const;

  // Any thread. Every sound taken from now on plays `db` decibels below its
  // own level (0: at its own level), so that the server's sounds do not drown
  // a conversation.
  void SetLowering(int db) { lowering_ = db; }

 private:
  void Run();
  // Waits in steps of 10 ms for `milliseconds`; false when cut short.
  bool Pause(int milliseconds, uint64_t flushes);
  bool Interrupted(uint64_t flushes) const;

  IAudioOutput& output_;
  const std::string programFolder_;
  const std::string workFolder_;

  mutable std::mutex mutex_;
  std::condition_variable wake_;
  std::deque<std::string> queue_;
  // Counts Flush calls: an entry taken before the latest one is cut.
  std::atomic<uint64_t> flushes_{0};
  std::atomic<bool> terminated_{false};
  std::atomic<int> lowering_{0};
  std::thread thread_;
};

}  // namespace vertamo
