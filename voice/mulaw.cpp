#include "voice/mulaw.h"

namespace vertamo {
namespace {

constexpr int kSegmentEnds[8] = {255, 511, 1023, 2047, 4095, 8191, 16383, 32767};
constexpr int kBias = 132;

}  // namespace

uint8_t LinearToUlaw(int16_t value) {
  // 32-bit arithmetic: the magnitude plus the bias runs from 132 to 32900.
  const int v = value;
  const int mask = v < 0 ? 0x7F : 0xFF;
  const int m = v < 0 ? kBias - v : v + kBias;
  int segment = 0;
  while (segment < 8 && m > kSegmentEnds[segment]) ++segment;
  if (segment == 8) return static_cast<uint8_t>(0x7F ^ mask);
  return static_cast<uint8_t>(((segment << 4) | ((m >> (segment + 3)) & 0x0F)) ^ mask);
}

}  // namespace vertamo
