#include "voice/ui/call_clock.h"

namespace vertamo::ui {

QString CallClockText(long long seconds) {
  if (seconds < 0) seconds = 0;
  return QString::asprintf("%02lld мин %02lld сек", seconds / 60, seconds % 60);
}

}  // namespace vertamo::ui
