// The main window's requests to the server, and their answers.
//
// A window asks (TServerRequests::Ask) and goes on at once; the connection
// thread takes the requests in the order they were asked, between two polls of
// the change feed, exchanges each with the server and posts the answer to the
// main thread. The answer reaches the handler given with the request, tagged
// with the request, unless the requester has gone by then. A request that got
// no answer within its wait, counted from when it was asked, is answered
// "no answer" on time by a timer of the main thread, however long the
// connection thread is busy elsewhere; the connection thread then does not
// send it any more, and an answer that comes later is dropped.
#pragma once

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "platform/stop_signal.h"
#include "serverlink/main_thread_executor.h"

namespace vertamo {

// The answer to one request.
struct TRequestAnswer {
  unsigned long long id = 0;  // the request's number, as Ask gave it
  std::string request;        // the request line
  bool list = false;          // a list request
  // A non-empty reply line (one-line request) or a list of at least one line
  // arrived in time.
  bool answered = false;
  std::string line;                // one-line request: the reply line
  std::vector<std::string> lines;  // list request: the lines before the one beginning with "END"
};

// Runs on the main thread with the answer.
using TAnswerHandler = std::function<void(const TRequestAnswer& answer)>;

// Whoever asks holds a token (any std::shared_ptr): an answer that finds the
// token gone is dropped. A window that asks anew and wants only the newest
// answer replaces its token.
using TRequesterToken = std::weak_ptr<const void>;

class TServerRequests {
 public:
  using Clock = std::chrono::steady_clock;

  // A request between the main thread and the connection thread. Its text,
  // kind and deadline never change once asked.
  struct TRequest;

  // The main thread's executor runs the time-outs and the answers.
  explicit TServerRequests(IMainThreadExecutor& mainThread) : mainThread_(mainThread) {}
  TServerRequests(const TServerRequests&) = delete;
  TServerRequests& operator=(const TServerRequests&) = delete;

  // MAIN THREAD. Queues the request and returns its number at once. `done`
  // (may be empty: nobody waits for the answer) runs later on the main thread
  // with the answer, or with answered false once `waitMs` have passed.
  // With `sendLate`, only the wait for the answer is bounded: the request
  // still goes to the server when the thread comes to it after its time.
  unsigned long long Ask(std::string_view request, bool list, int waitMs, TRequesterToken requester,
                         TAnswerHandler done, bool sendLate = false);

  // Connection thread. The oldest request still in time (or sent late),
  // taken out of the queue; requests whose time ran out before they were sent
  // are dropped here (their requesters have had "no answer" already).
  std::shared_ptr<TRequest> Take();
  // The request's line and kind.
  static const std::string& Line(const TRequest& request);
  static bool IsList(const TRequest& request);
  // Connection thread: the server's answer to a taken request (`line` or
  // `lines`), posted to the main thread through `post` (a post that does
  // nothing once the thread was stopped). An answer that came after the
  // request's time ran out is not posted: the time-out speaks for it.
  void Answer(const std::shared_ptr<TRequest>& request, std::string line, std::vector<std::string> lines,
              const std::function<void(std::function<void()>)>& post);
  // Connection thread: waits until a request is queued, a stop is requested
  // or the deadline has passed; false only when the deadline ended the wait.
  bool WaitForRequest(Clock::time_point deadline, const TStopSignal& stop);
  // Any thread: wakes the wait, so that it looks at the stop again.
  void Wake();
  // Requests queued and not yet taken. Any thread.
  size_t Queued() const;

 private:
  IMainThreadExecutor& mainThread_;
  mutable std::mutex mutex_;
  std::condition_variable cv_;
  std::deque<std::shared_ptr<TRequest>> queue_;
  unsigned long long lastId_ = 0;  // main thread only
};

}  // namespace vertamo
