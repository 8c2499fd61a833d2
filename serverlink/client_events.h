// What the connection thread hands to the user interface, and how.
//
// The connection thread never touches a window. Everything it wants shown goes
// through a synchronous hand-over: it has the main thread run a short routine
// and waits until that routine has finished. The user interface implements
// IClientEvents (the routines) and IMainThreadExecutor (how a routine reaches
// its thread); tests implement both again with recorders.
//
// The trap: the main thread stops the connection thread and waits for it to end
// (F5, a changed profile, closing the window) while that thread waits in a
// hand-over for the main thread. A stop therefore wakes every hand-over wait at
// once: a routine that has not started yet is withdrawn and never runs, and the
// connection thread goes on to its end. No routine may depend on values that
// live on the connection thread's stack; the TClientNotifier calls below copy
// their arguments into the routine they post.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "protocol/log_entry.h"

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

  // Start of every connection cycle: journal cleared, overlays hidden and
  // detached, the four model lists emptied, caption "Подключение...".
  virtual void ClearMaps() = 0;
  // The catalogue is loaded: tabs, object pictures and text labels are built
  // from the model, then the first map is shown.
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
};

// Sound output fed by the connection thread ("PLAY"). Called ON THE CONNECTION
// THREAD, not the main thread: it must only queue the request and return.
class ISoundOutput {
 public:
  virtual ~ISoundOutput() = default;
  // wave: the file name the server gave, code page 1251, at most 255 bytes.
  virtual void Play(const std::string& wave) = 0;
};

// How a routine reaches the main thread. Post may be called from any thread; it
// queues the task to run on the main thread later, in posting order, and
// returns without waiting. Qt: QMetaObject::invokeMethod(context, task,
// Qt::QueuedConnection). A task that can never run (the main thread has gone)
// may simply be destroyed: the waiting side notices and gives up.
class IMainThreadExecutor {
 public:
  virtual ~IMainThreadExecutor() = default;
  virtual void Post(std::function<void()> task) = 0;
};

// Runs tasks at once on the posting thread. For programs and tests that have no
// separate main thread (benchmarks, single-threaded step tests).
class TInlineExecutor final : public IMainThreadExecutor {
 public:
  void Post(std::function<void()> task) override {
    if (task) task();
  }
};

// The synchronous hand-over of one connection thread, with its stop.
//
// A routine handed over waits in the hand-over as "pending" until the main
// thread runs it, either when its event loop comes to the small task that
// Synchronize posted, or earlier, when the main thread itself waits for the
// connection thread (a request) and calls ServePending. Either way it runs
// exactly once, on the main thread, in the order the routines were handed
// over, and never after a stop withdrew it.
class THandOver {
 public:
  explicit THandOver(IMainThreadExecutor& executor);
  ~THandOver();
  THandOver(const THandOver&) = delete;
  THandOver& operator=(const THandOver&) = delete;

  // Has the main thread run fn and waits until it has finished: true. A stop
  // requested before or during the wait ends the wait at once with false; fn
  // then never runs if it had not started (and, if it had, finishes on the main
  // thread on its own, so fn must own everything it uses). A task the executor
  // destroyed without running also gives false. Never call it on the main
  // thread itself unless the executor is a TInlineExecutor.
  bool Synchronize(std::function<void()> fn);
  // The same; with servableInWait false the routine runs only from the main
  // thread's event loop, never from ServePending (routines that free or build
  // windows, which a handler waiting in a request may still be using).
  bool Synchronize(std::function<void()> fn, bool servableInWait);

  // Any thread: every present and later Synchronize returns false at once;
  // routines not yet started are withdrawn.
  void RequestStop();
  bool StopRequested() const;

  // MAIN THREAD ONLY (it runs a routine meant for the main thread): runs the
  // oldest pending routine here and now, and returns true; false when none
  // was pending, or when the oldest one was handed over not servable in a
  // wait (it then waits for the event loop, and so do the ones after it). For a main thread that waits for
  // the connection thread and would otherwise keep it waiting in a hand-over. An exception the routine throws
  // comes out here.
  bool ServePending();
  // Any thread: a routine that ServePending would run is pending (and no stop
  // has withdrawn it).
  bool HasPending() const;
  // Called by Synchronize, on its own thread and with no lock held, each time
  // a routine becomes pending: lets a waiting main thread wake up and call
  // ServePending. Set before the first Synchronize.
  void SetPendingSignal(std::function<void()> signal) { pendingSignal_ = std::move(signal); }

 private:
  struct State;
  IMainThreadExecutor& executor_;
  std::shared_ptr<State> state_;
  std::function<void()> pendingSignal_;
};

// The connection thread's view of IClientEvents: each call copies its values
// into a routine, hands it to the main thread and waits. The result is true
// when the routine ran, false when a stop withdrew it (the caller should then
// wind down; the values are lost, which is harmless because a stop is always
// followed by ClearMaps on the main thread).
class TClientNotifier {
 public:
  TClientNotifier(THandOver& handOver, IClientEvents& events) : handOver_(handOver), events_(events) {}

  bool ClearMaps();
  bool BuildMaps();
  bool ShowStatusText(std::string text);
  bool ShowProgress(int done, int total);
  bool SetCounterLayout(TCounterKind counter, TCounterLayout layout);
  bool SetCounterValue(TCounterKind counter, int value);
  bool SetClockLayout(TClockLayout layout);
  bool SetSpeakerLayout(TSpeakerLayout layout);
  bool SetSpeakerCall(int call);
  bool SetObjectState(int object, int index);
  bool SetObjectHint(int object, std::string hint);
  bool SetObjectCaption(int object, std::string caption);
  bool SetObjectCapColor(int object, int color);
  bool AddLogEntry(TLogEntry entry);

  THandOver& handOver() { return handOver_; }
  bool StopRequested() const { return handOver_.StopRequested(); }

 private:
  THandOver& handOver_;
  IClientEvents& events_;
};

}  // namespace vertamo
