// Sound output: RIFF WAVE files played through the desktop's sound server.
//
// The sound thread and the key-press sound play whole files, one call each,
// on their own threads. A call returns when the sound has finished, or soon
// after its `stop` predicate turns true (it is asked between short blocks of
// about 10 ms, and what the server still holds is dropped), so that a stop
// cuts a playing sound within a few tens of milliseconds.
//
// Tests put a recorder in place of the real output, or point the real one at
// a sound server of their own.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

struct SF_INFO;  // libsndfile

namespace vertamo {

class IAudioOutput {
 public:
  virtual ~IAudioOutput() = default;
  // Plays the file to its end or until `stop` returns true, `lowerDb`
  // decibels below its own level (0: as recorded). False when nothing was
  // played: not a readable WAVE file, or no sound server. Safe to call from
  // several threads at once (the sounds are then mixed).
  virtual bool PlayWaveFile(const std::string& path, const std::function<bool()>& stop, int lowerDb) = 0;
};

// A WAVE file decoded block by block into 16-bit samples (PCM of 8 to 32
// bits, float, mu-law and A-law). Anything that is not a RIFF WAVE file with
// one or two channels at 1 to 192 kHz does not open.
class TWaveReader {
 public:
  static constexpr int kMaxChannels = 2;

  TWaveReader();
  ~TWaveReader();
  TWaveReader(const TWaveReader&) = delete;
  TWaveReader& operator=(const TWaveReader&) = delete;

  bool Open(const std::string& path);
  // A file held in memory; `data` must outlive the reader.
  bool OpenMemory(const void* data, size_t size);
  void Close();

  int Rate() const { return rate_; }
  int Channels() const { return channels_; }
  // Frames as the header states them.
  int64_t Frames() const { return frames_; }
  // Up to `frames` frames, interleaved, into `out` (room for frames ×
  // Channels() samples). The number read; 0 at the end or on a damaged file.
  size_t Read(int16_t* out, size_t frames);

 private:
  struct Memory;
  bool Accept(const SF_INFO& info);

  void* file_ = nullptr;  // SNDFILE
  int fd_ = -1;           // the file Open opened; closed here, not by the library
  std::unique_ptr<Memory> memory_;
  std::vector<float> buffer_;
  int rate_ = 0;
  int channels_ = 0;
  int64_t frames_ = 0;
};

// Where the output reports the state of the sound server: one line when it
// cannot be reached or goes away, one when it is back. Called on the playing
// thread.
using TAudioLog = std::function<void(const std::string& line)>;

// The desktop's sound server (PulseAudio, or PipeWire through its PulseAudio
// interface). `server` as PulseAudio names servers ("unix:/path/native");
// empty: the user's own. No server plays nothing and each later call tries
// again, so sounds come back with the server.
std::unique_ptr<IAudioOutput> CreateSoundServerOutput(const std::string& server,
                                                      const std::string& clientName, TAudioLog log);

// Plays nothing and returns at once (a muted workstation).
class TSilentAudioOutput final : public IAudioOutput {
 public:
  bool PlayWaveFile(const std::string&, const std::function<bool()>&, int) override { return false; }
};

}  // namespace vertamo
