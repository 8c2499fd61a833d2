#include "serverlink/decode_pool.h"

namespace vertamo {

TDecodePool::TDecodePool(int threads, std::size_t maxQueuedBytes) : maxQueuedBytes_(maxQueuedBytes) {
  if (threads <= 0) threads = static_cast<int>(std::thread::hardware_concurrency());
  if (threads <= 0) threads = 2;
  for (int i = 0; i < threads; ++i) threads_.emplace_back([this] { Run(); });
}

TDecodePool::~TDecodePool() {
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
    jobs_.clear();
    queuedBytes_ = 0;
  }
  changed_.notify_all();
  for (std::thread& thread : threads_) thread.join();
}

void TDecodePool::Post(std::function<bool()> job, std::size_t bytes) {
  std::unique_lock lock(mutex_);
  changed_.wait(lock, [&] { return stopping_ || jobs_.empty() || queuedBytes_ + bytes <= maxQueuedBytes_; });
  if (stopping_) return;
  jobs_.push_back(Job{std::move(job), bytes});
  queuedBytes_ += bytes;
  changed_.notify_all();
}

bool TDecodePool::Wait() {
  std::unique_lock lock(mutex_);
  changed_.wait(lock, [&] { return jobs_.empty() && running_ == 0; });
  const bool ok = !failed_;
  failed_ = false;
  return ok;
}

void TDecodePool::Drop() {
  {
    std::lock_guard lock(mutex_);
    if (!jobs_.empty()) failed_ = true;
    jobs_.clear();
    queuedBytes_ = 0;
  }
  changed_.notify_all();
}

void TDecodePool::Run() {
  std::unique_lock lock(mutex_);
  for (;;) {
    changed_.wait(lock, [&] { return stopping_ || !jobs_.empty(); });
    if (stopping_) return;
    Job job = std::move(jobs_.front());
    jobs_.pop_front();
    queuedBytes_ -= job.bytes;
    ++running_;
    changed_.notify_all();  // room for Post
    lock.unlock();
    const bool ok = job.run();
    job.run = nullptr;  // what it held goes before the lock is taken again
    lock.lock();
    --running_;
    if (!ok) failed_ = true;
    changed_.notify_all();
  }
}

}  // namespace vertamo
