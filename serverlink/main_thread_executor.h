// How the connection thread reaches the main thread.
//
// The connection thread never touches a window and never waits for the main
// thread: what it has for the user interface is posted as a task that the
// main thread runs later, in posting order. The user interface implements
// IMainThreadExecutor (Qt: a queued call on the main window); tests and
// benchmarks implement it again with their own threads.
#pragma once

#include <chrono>
#include <functional>

namespace vertamo {

class IMainThreadExecutor {
 public:
  virtual ~IMainThreadExecutor() = default;
  // Any thread: queues the task to run on the main thread later, in posting
  // order, and returns at once. A task that can never run (the main thread
  // has gone) may simply be destroyed.
  virtual void Post(std::function<void()> task) = 0;
  // Main thread: runs the task on the main thread once `delay` has passed
  // (the time-outs of the requests to the server). Qt: a single-shot timer.
  virtual void PostDelayed(std::function<void()> task, std::chrono::milliseconds delay) = 0;
};

// Runs tasks at once on the posting thread. For programs and tests that have
// no separate main thread (benchmarks, single-threaded step tests), which
// make no requests: a delayed task is dropped.
class TInlineExecutor final : public IMainThreadExecutor {
 public:
  void Post(std::function<void()> task) override {
    if (task) task();
  }
  void PostDelayed(std::function<void()>, std::chrono::milliseconds) override {}
};

}  // namespace vertamo
