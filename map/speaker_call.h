// Which object the blinking speaker ("Вызов диспетчера") stands for. The
// server only says that a call is on (SPEAKER CALL=); the object is the one
// of the newest journal line that came while the call was on, or last
// before it came on (a server sends the event's line and the speaker's
// change in either order).
#pragma once

namespace vertamo {

class TSpeakerCall {
 public:
  static constexpr int kNone = -1;

  // A journal line about `object` (kNone or below: about no object).
  void JournalLine(int object);
  // The server's call state: 0 off, anything else on.
  void Speaker(int call);
  // The calling object; kNone while the speaker is off or none is known.
  int Calling() const { return calling_; }
  // A new load: object numbers start anew.
  void Reset() { *this = TSpeakerCall(); }

 private:
  bool on_ = false;
  int newest_ = kNone;
  int calling_ = kNone;
};

}  // namespace vertamo
