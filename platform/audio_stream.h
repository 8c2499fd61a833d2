// A stream of sound to the desktop's sound server, fed block by block by a
// player that decides what to play and when (a record heard again), unlike
// IAudioOutput, which plays whole files.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace vertamo {

class IAudioStream {
 public:
  virtual ~IAudioStream() = default;
  // Opens the stream for 16-bit interleaved frames; false with `error`.
  virtual bool Open(int rate, int channels, std::string* error) = 0;
  // Blocks while the server holds enough ahead (about 40 ms); false when the
  // stream is lost.
  virtual bool Write(const int16_t* frames, size_t count) = 0;
  // Drops what the server still holds (a pause, a jump, a stop): it is not heard.
  virtual void Drop() = 0;
  // Waits until what the server holds has been heard.
  virtual void Finish() = 0;
  virtual void Close() = 0;
};

// A stream to the sound server `server` as PulseAudio names servers (empty:
// the user's own), as the client `clientName`.
std::unique_ptr<IAudioStream> CreateSoundServerStream(const std::string& server, const std::string& clientName);

}  // namespace vertamo
