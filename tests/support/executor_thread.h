// A thread that runs posted tasks one by one, in posting order: the "main
// thread" of programs without a window toolkit (benchmarks, tests, tools)
// for the connection thread's hand-overs.
#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <future>
#include <memory>
#include <mutex>
#include <thread>

#include "serverlink/client_events.h"

namespace vertamo {

class TExecutorThread final : public IMainThreadExecutor {
 public:
  TExecutorThread() : thread_([this] { Loop(); }) {}
  // Ends the thread after the task in hand; tasks never run are destroyed
  // (a hand-over waiting for one of them notices and gives up).
  ~TExecutorThread() override {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      done_ = true;
    }
    cv_.notify_all();
    thread_.join();
    std::lock_guard<std::mutex> lock(mutex_);
    tasks_.clear();
  }
  TExecutorThread(const TExecutorThread&) = delete;
  TExecutorThread& operator=(const TExecutorThread&) = delete;

  void Post(std::function<void()> task) override {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      if (done_) return;
      tasks_.push_back(std::move(task));
    }
    cv_.notify_all();
  }

  // Runs fn on the thread, waits, and returns its result (an exception
  // thrown by fn comes back here).
  template <class F>
  auto Run(F fn) -> decltype(fn()) {
    using R = decltype(fn());
    auto task = std::make_shared<std::packaged_task<R()>>(std::move(fn));
    auto future = task->get_future();
    Post([task] { (*task)(); });
    return future.get();
  }

 private:
  void Loop() {
    for (;;) {
      std::function<void()> task;
      {
        std::unique_lock<std::mutex> lock(mutex_);
        cv_.wait(lock, [&] { return done_ || !tasks_.empty(); });
        if (done_) return;
        task = std::move(tasks_.front());
        tasks_.pop_front();
      }
      task();
    }
  }

  std::mutex mutex_;
  std::condition_variable cv_;
  std::deque<std::function<void()>> tasks_;
  bool done_ = false;
  std::thread thread_;
};

}  // namespace vertamo
