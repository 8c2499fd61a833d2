// The call's once-a-second work: the talk time as the dispatcher reads it and
// the ring sound's rhythm.
#pragma once

#include <string>

namespace vertamo {

// "%02d мин %02d сек" (code page 1251): whole minutes (hours included) and
// seconds; a negative time reads as none.
std::string CallClockText(long long seconds);

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

}  // namespace vertamo
