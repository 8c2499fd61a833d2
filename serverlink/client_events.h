// What the connection thread hands to the user interface, and how.
//
// The connection thread never touches a window: each of the routines below
// reaches the main thread through the synchronous hand-over (hand_over.h). The
// user interface implements IClientEvents; tests implement it again with
// recorders.
#pragma once

#include <string>

#include "protocol/log_entry.h"
#include "serverlink/hand_over.h"
#include "serverlink/link_fault.h"

namespace vertamo {

// The three counters on the map.
enum class TCounterKind {
  LiftBreak,  // "LiftB": faulty lifts, wire word "LIFTBREAK"
  OhrAlr,     // "OhrAlr": triggered security loops, wire word "OHRALR"
  PuErr,      // "PuErr": faulty intercom units, wire word "PUERR"
};

// Layout line of a counter; its value follows in a second hand-over.
struct TCounterLayout {
  int x = 0, y = 0, w = 0, h = 0;
  std::string fontName;  // code page 1251, at most 63 bytes
};

// Layout line "CLOCK".
struct TClockLayout {
  int x = 0, y = 0, w = 0, h = 0;
  std::string fontName;  // code page 1251, at most 63 bytes
  int color = 0;         // background, 0x00BBGGRR (top byte 0xFF: system colour)
  int fontColor = 0;     // same encoding
  int fontSize = 0;      // points
  bool transparent = false;
  bool bold = false;
  bool italic = false;
};

// Layout line "SPEAKER".
struct TSpeakerLayout {
  int x = 0, y = 0, w = 0, h = 0;
  int call = 0;  // call state of the speaker symbol
};

// The main window's side of the connection. Every method runs on the main
// thread, one at a time, while the connection thread waits. Texts are code page
// 1251 bytes. Object numbers are positions in the object list and may lie
// outside it: such calls must do nothing.
class IClientEvents {
 public:
  virtual ~IClientEvents() = default;

  // Start of every connection cycle: journal cleared, the model the thread
  // loads into emptied, caption "Подключение...". Maps on screen are freed
  // (overlays hidden and detached first), or kept as stale until BuildMaps.
  virtual void ClearMaps() = 0;
  // The catalogue is loaded: it replaces any stale maps; tabs, object
  // pictures and text labels are built from it, then the first map is shown.
  virtual void BuildMaps() = 0;
  // Shows `text` in the second panel of the status bar.
  virtual void ShowStatusText(const std::string& text) = 0;
  // Progress of the current load step: `done` of `total` records (total 0:
  // unknown). Follows the step's status text; does nothing unless overridden.
  virtual void ShowProgress(int done, int total) {}

  // Counter: bounds, font name, visible.
  virtual void SetCounterLayout(TCounterKind counter, const TCounterLayout& layout) = 0;
  // Counter: value.
  virtual void SetCounterValue(TCounterKind counter, int value) = 0;
  // Clock label: detached from its parent, bounds, font, colours, visible.
  virtual void SetClockLayout(const TClockLayout& layout) = 0;
  // Speaker symbol: detached from its parent, bounds, call state, visible.
  virtual void SetSpeakerLayout(const TSpeakerLayout& layout) = 0;
  // Speaker symbol: call state.
  virtual void SetSpeakerCall(int call) = 0;

  // Object updates of the change feed ("SetObjectState" and friends of the
  // main window): the model setter, and a repaint only when it changed.
  virtual void SetObjectState(int object, int index) = 0;
  virtual void SetObjectHint(int object, const std::string& hint) = 0;
  virtual void SetObjectCaption(int object, const std::string& caption) = 0;
  virtual void SetObjectCapColor(int object, int color) = 0;

  // A journal event: the journal window inserts it as its newest row.
  virtual void AddLogEntry(const TLogEntry& entry) = 0;

  // A connection cycle failed (or the server refused the login): why, and
  // since when there is no link. The next cycle follows unless the thread
  // ends. Does nothing unless overridden.
  virtual void LinkDown(const TLinkDown& event) {}
  // The server accepted the login; the load follows. Does nothing unless
  // overridden.
  virtual void LinkUp() {}
};

// Sound output fed by the connection thread ("PLAY"). Called ON THE CONNECTION
// THREAD, not the main thread: it must only queue the request and return.
class ISoundOutput {
 public:
  virtual ~ISoundOutput() = default;
  // wave: the file name the server gave, code page 1251, at most 255 bytes.
  virtual void Play(const std::string& wave) = 0;
};

// Whether a routine may also run inside a request wait of the main thread
// (THandOver::ServePending). ClearMaps frees every tab and picture, BuildMaps
// makes them: they run only from the event loop, never inside a window's own
// request wait, whose caller may still be using one of them.
template <auto Routine>
inline constexpr bool kRoutineServableInWait = true;
template <>
inline constexpr bool kRoutineServableInWait<&IClientEvents::ClearMaps> = false;
template <>
inline constexpr bool kRoutineServableInWait<&IClientEvents::BuildMaps> = false;

// The connection thread's view of IClientEvents: each call copies its values
// into a routine, hands it to the main thread and waits. The result is true
// when the routine ran, false when a stop withdrew it (the caller should then
// wind down; the values are lost, which is harmless because a stop is always
// followed by ClearMaps on the main thread).
class TClientNotifier {
 public:
  TClientNotifier(THandOver& handOver, IClientEvents& events) : handOver_(handOver), events_(events) {}

  // Runs the routine of IClientEvents on the main thread with copies of args:
  // notifier.Call<&IClientEvents::SetObjectState>(object, index).
  template <auto Routine, class... Args>
  bool Call(Args&&... args) {
    return HandOverCall(handOver_, kRoutineServableInWait<Routine>, events_, Routine,
                        std::forward<Args>(args)...);
  }

  THandOver& handOver() { return handOver_; }
  bool StopRequested() const { return handOver_.StopRequested(); }

 private:
  THandOver& handOver_;
  IClientEvents& events_;
};

}  // namespace vertamo
