#include "map/speaker_call.h"

namespace vertamo {

void TSpeakerCall::JournalLine(int object) {
  if (object < 0) return;
  newest_ = object;
  if (on_) calling_ = object;
}

void TSpeakerCall::Speaker(int call) {
  const bool on = call != 0;
  if (on && !on_) calling_ = newest_;
  if (!on) calling_ = kNone;
  on_ = on;
}

}  // namespace vertamo
