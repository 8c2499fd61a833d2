// A few threads that decode the catalogue's pictures while the connection
// thread goes on reading the server's replies, so that a load uses every
// core: the thread reads and checks, the pool turns PNG data into pictures
// ready to show, each into its own place in the model.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace vertamo {

class TDecodePool {
 public:
  // `threads`: 0 for one per core. `maxQueuedBytes`: what waiting jobs may
  // hold (their undecoded data); Post waits while more does.
  explicit TDecodePool(int threads = 0, std::size_t maxQueuedBytes = std::size_t{64} << 20);
  // Drops what waits and lets what runs finish.
  ~TDecodePool();
  TDecodePool(const TDecodePool&) = delete;
  TDecodePool& operator=(const TDecodePool&) = delete;

  // Runs `job` on a pool thread; it holds `bytes` while it waits, and gives
  // false when it failed. One job larger than the bound still goes, once
  // nothing waits.
  void Post(std::function<bool()> job, std::size_t bytes);
  // Waits until every job posted has run or been dropped. False when one of
  // them failed or was dropped since the last Wait.
  bool Wait();
  // Drops the jobs that have not started (a load that gives up); Wait then
  // waits only for those that run.
  void Drop();

  int Threads() const { return static_cast<int>(threads_.size()); }

 private:
  struct Job {
    std::function<bool()> run;
    std::size_t bytes;
  };
  void Run();

  const std::size_t maxQueuedBytes_;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<Job> jobs_;
  std::size_t queuedBytes_ = 0;
  int running_ = 0;
  bool failed_ = false;
  bool stopping_ = false;
  std::vector<std::thread> threads_;
};

}  // namespace vertamo
