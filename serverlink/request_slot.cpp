#include "serverlink/request_slot.h"

#include <utility>

namespace vertamo {

bool TRequestSlot::Take(TTaken& taken) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (requestPending_.load(std::memory_order_relaxed)) {
    taken.list = false;
  } else if (listRequestPending_.load(std::memory_order_relaxed)) {
    taken.list = true;
  } else {
    return false;
  }
  taken.id = requestId_;
  taken.request = request_;
  return true;
}

void TRequestSlot::Answer(const TTaken& taken, std::string reply, std::vector<std::string> lines) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    // A request the main thread withdrew in the meantime gets no reply: the
    // answer would otherwise land in the slot of a later request.
    if (requestId_ != taken.id) return;
    if (!taken.list && requestPending_.load(std::memory_order_relaxed)) {
      reply_ = std::move(reply);
      requestPending_.store(false, std::memory_order_release);
    } else if (taken.list && listRequestPending_.load(std::memory_order_relaxed)) {
      replyList_ = std::move(lines);
      listRequestPending_.store(false, std::memory_order_release);
    }
  }
  cv_.notify_all();
}

bool TRequestSlot::WaitForRequest(Clock::time_point deadline, const TStopSignal& stop) {
  std::unique_lock<std::mutex> lock(mutex_);
  return cv_.wait_until(lock, deadline, [&] {
    return stop.IsRequested() || requestPending_.load(std::memory_order_relaxed) ||
           listRequestPending_.load(std::memory_order_relaxed);
  });
}

void TRequestSlot::Wake() {
  { std::lock_guard<std::mutex> lock(mutex_); }
  cv_.notify_all();
}

void TRequestSlot::WithdrawLocked(std::atomic<bool>& pending) {
  pending.store(false, std::memory_order_release);
  ++requestId_;
  cv_.notify_all();  // a request wait of another caller ends at once
}

bool TRequestSlot::AwaitAnswer(std::unique_lock<std::mutex>& lock, unsigned long long id,
                               std::atomic<bool>& pending, int waitMs) {
  const auto deadline = Clock::now() + std::chrono::milliseconds(waitMs);
  const auto settled = [&] { return requestId_ != id || !pending.load(std::memory_order_relaxed); };
  for (;;) {
    const bool woken = cv_.wait_until(lock, deadline, [&] { return settled() || handOver_.HasPending(); });
    if (settled() || !woken || Clock::now() >= deadline) break;
    // The worker waits in a hand-over for this very thread, and serves the
    // request only after it: run the hand-over here, then wait on.
    lock.unlock();
    try {
      handOver_.ServePending();
    } catch (...) {
      lock.lock();
      if (requestId_ == id) WithdrawLocked(pending);
      throw;
    }
    lock.lock();
  }
  if (requestId_ == id && !pending.load(std::memory_order_relaxed)) return true;
  // Time-out (or withdrawn by another request): the request is withdrawn.
  WithdrawLocked(pending);
  return false;
}

bool TRequestSlot::SendCommand(std::string_view request, int waitMs) {
  std::unique_lock<std::mutex> lock(mutex_);
  if (requestPending_.load(std::memory_order_relaxed)) {
    WithdrawLocked(requestPending_);
    return false;
  }
  request_.assign(request);
  const unsigned long long id = ++requestId_;
  listRequestPending_.store(false, std::memory_order_release);
  requestPending_.store(true, std::memory_order_release);
  cv_.notify_all();
  return AwaitAnswer(lock, id, requestPending_, waitMs) && !reply_.empty();
}

bool TRequestSlot::SendListCommand(std::string_view request, int waitMs) {
  std::unique_lock<std::mutex> lock(mutex_);
  if (requestPending_.load(std::memory_order_relaxed)) {
    WithdrawLocked(requestPending_);
    return false;
  }
  if (listRequestPending_.load(std::memory_order_relaxed)) {
    WithdrawLocked(listRequestPending_);
    return false;
  }
  request_.assign(request);
  const unsigned long long id = ++requestId_;
  listRequestPending_.store(true, std::memory_order_release);
  cv_.notify_all();
  return AwaitAnswer(lock, id, listRequestPending_, waitMs) && !replyList_.empty();
}

std::string TRequestSlot::Reply() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return reply_;
}

std::vector<std::string> TRequestSlot::ReplyList() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return replyList_;
}

void TRequestSlot::ClearReplyList() {
  std::lock_guard<std::mutex> lock(mutex_);
  replyList_.clear();
}

}  // namespace vertamo
