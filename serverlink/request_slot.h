// The request slot between the main window and the connection thread.
//
// The main thread puts one request line at a time into the slot and waits
// for its answer (SendCommand, SendListCommand). The connection thread takes
// the request between two polls of the change feed, exchanges it with the
// server and puts the answer back (Take, Answer). Every request and every
// withdrawal changes the request id, so that the answer to a request the main
// thread has given up on is dropped and never becomes the reply of a later
// request.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "platform/stop_signal.h"
#include "serverlink/hand_over.h"

namespace vertamo {

class TRequestSlot {
 public:
  using Clock = std::chrono::steady_clock;

  // A request the connection thread has taken, until it answers it.
  struct TTaken {
    unsigned long long id = 0;
    bool list = false;
    std::string request;
  };

  // While the main thread waits for an answer it runs the hand-overs the
  // connection thread waits in (handOver must outlive the slot).
  explicit TRequestSlot(THandOver& handOver) : handOver_(handOver) {}
  TRequestSlot(const TRequestSlot&) = delete;
  TRequestSlot& operator=(const TRequestSlot&) = delete;

  // Main-window side (one caller thread: the main thread).
  //
  // A one-line request: true when a non-empty reply line arrived within
  // waitMs (then Reply() holds it). A request still pending from before is
  // withdrawn instead, and the call gives false.
  bool SendCommand(std::string_view request, int waitMs);
  // A list request, answered by lines up to one beginning with "END": true
  // when the list arrived within waitMs and holds at least one line (then
  // ReplyList() holds them until ClearReplyList).
  bool SendListCommand(std::string_view request, int waitMs);
  std::string Reply() const;
  std::vector<std::string> ReplyList() const;
  void ClearReplyList();
  bool RequestPending() const { return requestPending_.load(std::memory_order_acquire); }
  bool ListRequestPending() const { return listRequestPending_.load(std::memory_order_acquire); }

  // Connection-thread side.
  //
  // The pending request, if any (a one-line request before a list request);
  // it stays pending until answered or withdrawn.
  bool Take(TTaken& taken);
  // The answer to a taken request: `reply` for a one-line request, `lines`
  // for a list. Dropped when the request was withdrawn in the meantime.
  void Answer(const TTaken& taken, std::string reply, std::vector<std::string> lines);
  // Waits until a request is pending, a stop is requested or the deadline
  // has passed; false only when the deadline ended the wait.
  bool WaitForRequest(Clock::time_point deadline, const TStopSignal& stop);

  // Any thread: wakes every wait of the slot, so that it looks again at the
  // stop and at the hand-over.
  void Wake();

 private:
  // Lowers a pending flag and invalidates the request it stood for (mutex_ held).
  void WithdrawLocked(std::atomic<bool>& pending);
  // Main thread, mutex_ held by lock: waits up to waitMs for the answer to
  // request `id` (true), running meanwhile every hand-over the worker waits
  // in; withdraws the request when no answer came (false).
  bool AwaitAnswer(std::unique_lock<std::mutex>& lock, unsigned long long id, std::atomic<bool>& pending,
                   int waitMs);

  THandOver& handOver_;
  // The pending flags are atomics so that Stage-like readers need no lock;
  // the texts are guarded by mutex_, whose condition wakes the worker's
  // polling wait and the main thread's request wait.
  mutable std::mutex mutex_;
  std::condition_variable cv_;
  std::string request_;
  std::string reply_;
  std::vector<std::string> replyList_;
  std::atomic<bool> requestPending_{false};
  std::atomic<bool> listRequestPending_{false};
  unsigned long long requestId_ = 0;  // changes with every request and withdrawal
};

}  // namespace vertamo
