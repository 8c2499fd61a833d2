// The synchronous hand-over between the connection thread and the main thread.
//
// The connection thread never touches a window. Everything it wants shown goes
// through a synchronous hand-over: it has the main thread run a short routine
// and waits until that routine has finished. The user interface implements
// IMainThreadExecutor (how a routine reaches its thread); tests implement it
// again with their own threads.
//
// The trap: the main thread stops the connection thread and waits for it to end
// (F5, a changed profile, closing the window) while that thread waits in a
// hand-over for the main thread. A stop therefore wakes every hand-over wait at
// once: a routine that has not started yet is withdrawn and never runs, and the
// connection thread goes on to its end. No routine may depend on values that
// live on the connection thread's stack: HandOverCall copies the arguments
// into the routine it posts.
#pragma once

#include <functional>
#include <memory>
#include <type_traits>
#include <utility>

namespace vertamo {

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

// Has the main thread call (target.*routine)(args...) through the hand-over
// and waits, as Synchronize does. The arguments are copied, as the values of
// the routine's parameters, into the routine posted: nothing it reads lives on
// the calling thread's stack, even when a stop leaves it to finish alone.
template <class Target, class... Params, class... Args>
bool HandOverCall(THandOver& handOver, bool servableInWait, Target& target,
                  void (Target::*routine)(Params...), Args&&... args) {
  static_assert(sizeof...(Params) == sizeof...(Args), "one argument for each parameter of the routine");
  Target* t = &target;
  return handOver.Synchronize(
      [t, routine, ... values = std::decay_t<Params>(std::forward<Args>(args))] { (t->*routine)(values...); },
      servableInWait);
}

}  // namespace vertamo
