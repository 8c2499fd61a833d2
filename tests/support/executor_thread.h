// A thread that runs posted tasks one by one, in posting order, and delayed
// tasks when their time has come: the "main thread" of programs without a
// window toolkit (benchmarks, tests, tools) for the connection thread.
#pragma once

#include <condition_variable>
#include <deque>
#include <chrono>
#include <functional>
#include <future>
#include <map>
#include <memory>
#include <mutex>
#include <thread>

#include "serverlink/main_thread_executor.h"

namespace vertamo {

class TExecutorThread final : public IMainThreadExecutor {
 public:
  TExecutorThread() : thread_([this] { Loop(); }) {}
  // Ends the thread after the task in hand; tasks never run are destroyed.
  ~TExecutorThread() override {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      done_ = true;
    }
    cv_.notify_all();
    thread_.join();
    std::lock_guard<std::mutex> lock(mutex_);
    tasks_.clear();
    delayed_.clear();
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

  void PostDelayed(std::function<void()> task, std::chrono::milliseconds delay) override {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      if (done_) return;
      delayed_.emplace(std::chrono::steady_clock::now() + delay, std::move(task));
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
        const auto due = [&] {
          return !delayed_.empty() && delayed_.begin()->first <= std::chrono::steady_clock::now();
        };
        while (!done_ && tasks_.empty() && !due()) {
          if (delayed_.empty())
            cv_.wait(lock);
          else
            cv_.wait_until(lock, delayed_.begin()->first);
        }
        if (done_) return;
        // Posted tasks first; a time that has come waits at most for them.
        if (!tasks_.empty()) {
          task = std::move(tasks_.front());
          tasks_.pop_front();
        } else {
          task = std::move(delayed_.begin()->second);
          delayed_.erase(delayed_.begin());
        }
      }
      task();
    }
  }

  std::mutex mutex_;
  std::condition_variable cv_;
  std::deque<std::function<void()>> tasks_;
  std::multimap<std::chrono::steady_clock::time_point, std::function<void()>> delayed_;
  bool done_ = false;
  std::thread thread_;
};

}  // namespace vertamo
