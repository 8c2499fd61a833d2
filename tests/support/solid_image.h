// Pictures of one colour, for the tests of the model, the load and the windows.
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

}  // namespace vertamo::testing
