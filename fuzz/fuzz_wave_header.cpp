// Arbitrary bytes as a WAVE file given to the decoder: it opens only what it
// can play, states a sane shape, and reads to the end without fault.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/audio_output.h"

namespace {

void Check(bool condition) {
  if (!condition) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  vertamo::TWaveReader reader;
  if (!reader.OpenMemory(data, size)) return 0;
  Check(reader.Channels() >= 1 && reader.Channels() <= vertamo::TWaveReader::kMaxChannels);
  Check(reader.Rate() >= 1000 && reader.Rate() <= 192000);
  constexpr size_t kBlock = 256;
  std::vector<int16_t> block(kBlock * static_cast<size_t>(reader.Channels()));
  // A header may promise far more frames than the bytes hold; stop early.
  for (int blocks = 0; blocks < 4096; ++blocks) {
    const size_t frames = reader.Read(block.data(), kBlock);
    Check(frames <= kBlock);
    if (frames == 0) break;
  }
  return 0;
}
