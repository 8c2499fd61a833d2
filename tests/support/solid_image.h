// Pictures of one colour, and patterned ones whose every pixel differs, for the tests of the model, the load and the windows.
#pragma once

#include <cstddef>
#include <cstdint>

#include "codec/image.h"

namespace vertamo::testing {

// w x h pixels, every one `argb` (0xAARRGGBB).
inline Image SolidImage(int w, int h, uint32_t argb) {
  Image image;
  image.width = w;
  image.height = h;
  image.argb.assign(static_cast<size_t>(w) * static_cast<size_t>(h), argb);
  return image;
}

// w x h opaque pixels of a pattern set by `seed`: two patterns of other seeds
// differ in nearly every pixel.
inline Image PatternImage(int w, int h, uint32_t seed) {
  Image image;
  image.width = w;
  image.height = h;
  for (int i = 0; i < w * h; ++i)
    image.argb.push_back(0xFF000000u | ((seed * 2654435761u + static_cast<uint32_t>(i) * 40503u) & 0xFFFFFF));
  return image;
}

}  // namespace vertamo::testing
