// What the connection thread hands to the user interface, and how.
//
// The connection thread never touches a window: each of the routines below
// reaches the main thread as a posted task (main_thread_executor.h), alone or
// in the batch of one exchange. The user interface implements IClientEvents;
// tests implement it again with recorders.
#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <type_traits>
#include <utility>

#include "map/map_model.h"
#include "journal/log_entry.h"
#include "serverlink/link_fault.h"
#include "serverlink/main_thread_executor.h"

namespace vertamo {

// The three counters on the map.
enum class TCounterKind {
  LiftBreak,  // "LiftB": faulty lifts, wire word "LIFTBREAK"
  OhrAlr,     // "OhrAlr": triggered security loops, wire word "OHRALR"
  PuErr,      // "PuErr": faulty intercom units, wire word "PUERR"
};

// Layout line of a counter; its value follows in a second routine.
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
// thread, one at a time, while the connection thread goes on. Texts are code page
// 1251 bytes. Object numbers are positions in the object list and may lie
// outside it: such calls must do nothing.
class IClientEvents {
 public:
  virtual ~IClientEvents() = default;

  // Start of every connection cycle: journal cleared, caption
  // "Подключение...". Maps on screen are freed (overlays hidden and detached
  // first), or kept as stale until BuildMaps.
  virtual void ClearMaps() = 0;
  // The catalogue is loaded into `loaded`, which the thread no longer
  // touches: take it (move from it); it replaces any stale maps; tabs, object
  // pictures and text labels are built from it, then the first map is shown.
  virtual void BuildMaps(TMapModel& loaded) = 0;
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
  // The connection went on to another stage (TOrvexClientThread::StageText).
  // Does nothing unless overridden.
  virtual void StageChanged(int stage) {}
};

// Sound output fed by the connection thread ("PLAY"). Called ON THE CONNECTION
// THREAD, not the main thread: it must only queue the request and return.
class ISoundOutput {
 public:
  virtual ~ISoundOutput() = default;
  // wave: the file name the server gave, code page 1251, at most 255 bytes.
  virtual void Play(const std::string& wave) = 0;
};

// The connection thread's view of IClientEvents: each call copies its values
// into a task and posts it to the main thread without waiting. Once Retire()
// (the thread was stopped) every task posted through it, before or after, does
// nothing when it comes to run: a stopped thread changes nothing on screen, and
// nobody has to wait for it to get rid of what it posted.
class TClientNotifier {
 public:
  TClientNotifier(IMainThreadExecutor& executor, IClientEvents& events)
      : executor_(executor), events_(&events), live_(std::make_shared<std::atomic<bool>>(true)) {}

  // Posts the routine of IClientEvents with copies of args:
  // notifier.Call<&IClientEvents::SetObjectState>(object, index). False once
  // retired (the routine will not run).
  template <auto Routine, class... Args>
  bool Call(Args&&... args) {
    return PostTo(Routine, std::forward<Args>(args)...);
  }
  // Posts several routines that run in order in one go (one exchange's
  // changes). False once retired.
  bool Post(std::function<void(IClientEvents&)> steps) {
    if (Retired()) return false;
    executor_.Post([live = live_, events = events_, steps = std::move(steps)] {
      if (live->load(std::memory_order_acquire)) steps(*events);
    });
    return true;
  }
  // Posts a task of the caller's own that, like the routines, does nothing
  // once retired. False once retired.
  bool PostTask(std::function<void()> task) {
    if (Retired()) return false;
    executor_.Post([live = live_, task = std::move(task)] {
      if (live->load(std::memory_order_acquire)) task();
    });
    return true;
  }

  // Any thread; the main thread's own Stop() calls it, so that nothing the
  // thread posted runs after the stop.
  void Retire() { live_->store(false, std::memory_order_release); }
  bool Retired() const { return !live_->load(std::memory_order_acquire); }
  IMainThreadExecutor& executor() { return executor_; }

 private:
  template <class... Params, class... Args>
  bool PostTo(void (IClientEvents::*routine)(Params...), Args&&... args) {
    static_assert(sizeof...(Params) == sizeof...(Args), "one argument for each parameter of the routine");
    return Post([routine, ... values = std::decay_t<Params>(std::forward<Args>(args))](IClientEvents& events) {
      (events.*routine)(values...);
    });
  }

  IMainThreadExecutor& executor_;
  IClientEvents* events_;
  std::shared_ptr<std::atomic<bool>> live_;
};

}  // namespace vertamo
