// G.711 mu-law encoding of one 16-bit linear value, in the common 16-bit form
// of the encoder (segment end points 255 ... 32767, bias 132).
//
// The voice window shows the bitwise complement of the code as a level:
// 0 ... 127 for values >= 0 (segment × 16 + mantissa), 128 plus that for
// negative values.
#pragma once

#include <cstdint>

namespace vertamo {

// Callers that hold a wider integer pass its low 16 bits.
uint8_t LinearToUlaw(int16_t value);

}  // namespace vertamo
