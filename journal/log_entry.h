// One event of the operational journal, as the server sends it in a LOG line.
#pragma once

#include <array>
#include <string>

namespace vertamo {

struct TLogEntry {
  int object = -1;                   // position in ObjectList of the object the event is about
  int color = 0;                     // row background, 0x00BBGGRR (top byte 0xFF: system colour)
  int fontColor = 0;                 // row text colour, same encoding
  std::array<std::string, 6> texts;  // columns T0..T5, code page 1251, already cut to capacity
};

}  // namespace vertamo
