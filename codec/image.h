// A decoded picture, as the map model keeps it and the PNG codec fills it.
#pragma once

#include <cstdint>
#include <vector>

namespace vertamo {

// 32-bit pixels 0xAARRGGBB, rows from the top, no padding.
struct Image {
  int width = 0, height = 0;
  std::vector<uint32_t> argb;  // 0xAARRGGBB, rows top-down
};

}  // namespace vertamo
