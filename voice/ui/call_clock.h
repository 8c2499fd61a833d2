// The voice window's once-a-second work: the conversation clock and the ring
// sound's rhythm.
#pragma once

#include <QString>

namespace vertamo::ui {

// "%02d мин %02d сек": whole minutes (hours included) and seconds.
QString CallClockText(long long seconds);

// The ring sound starts with the first tick of a ringing call and comes again
// every fifth tick while it rings; any tick that is not ringing starts over.
class TRingCountdown {
 public:
  static constexpr int kTicks = 5;
  // True when the ring sound is to be queued now.
  bool Tick(bool ringing) {
    if (!ringing) {
      ticks_ = 0;
      return false;
    }
    const bool ring = ticks_ == 0;
    if (ring) ticks_ = kTicks;
    --ticks_;
    return ring;
  }

 private:
  int ticks_ = 0;
};

}  // namespace vertamo::ui
