#include "voice/call_clock.h"

#include <cstdio>

#include "platform/cp1251.h"

namespace vertamo {

std::string CallClockText(long long seconds) {
  if (seconds < 0) seconds = 0;
  char text[64];
  std::snprintf(text, sizeof text, "%02lld мин %02lld сек", seconds / 60, seconds % 60);
  return Utf8ToCp1251(text);
}

}  // namespace vertamo
