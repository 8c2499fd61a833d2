#include "serverlink/server_requests.h"

#include <utility>

namespace vertamo {

struct TServerRequests::TRequest {
  unsigned long long id = 0;
  std::string line;
  bool list = false;
  Clock::time_point deadline;
  TRequesterToken requester;
  TAnswerHandler done;
  bool awaited = false;  // someone waits for the answer (done given); never changes
  bool sendLate = false;  // sent even when the thread comes to it after its time
  // Main thread only: the answer or the time-out has been given; whichever
  // comes second is dropped.
  bool settled = false;

  // Main thread: hands the answer to the requester, if it is still there.
  void Settle(TRequestAnswer answer) {
    if (settled) return;
    settled = true;
    TAnswerHandler handler = std::move(done);
    if (!handler) return;
    const auto owner = requester.lock();
    if (!owner) return;
    answer.id = id;
    answer.request = line;
    answer.list = list;
    handler(answer);
  }
};

unsigned long long TServerRequests::Ask(std::string_view request, bool list, int waitMs,
                                        TRequesterToken requester, TAnswerHandler done, bool sendLate) {
  auto pending = std::make_shared<TRequest>();
  pending->id = ++lastId_;
  pending->line.assign(request);
  pending->list = list;
  pending->deadline = Clock::now() + std::chrono::milliseconds(waitMs);
  pending->requester = std::move(requester);
  pending->done = std::move(done);
  pending->awaited = static_cast<bool>(pending->done);
  pending->sendLate = sendLate;
  if (pending->awaited)
    mainThread_.PostDelayed([pending] { pending->Settle({}); }, std::chrono::milliseconds(waitMs));
  {
    std::lock_guard<std::mutex> lock(mutex_);
    queue_.push_back(pending);
  }
  cv_.notify_all();
  return pending->id;
}

std::shared_ptr<TServerRequests::TRequest> TServerRequests::Take() {
  std::lock_guard<std::mutex> lock(mutex_);
  const auto now = Clock::now();
  while (!queue_.empty()) {
    std::shared_ptr<TRequest> request = std::move(queue_.front());
    queue_.pop_front();
    if (request->sendLate || now < request->deadline) return request;
  }
  return nullptr;
}

const std::string& TServerRequests::Line(const TRequest& request) { return request.line; }

bool TServerRequests::IsList(const TRequest& request) { return request.list; }

void TServerRequests::Answer(const std::shared_ptr<TRequest>& request, std::string line,
                             std::vector<std::string> lines,
                             const std::function<void(std::function<void()>)>& post) {
  if (!request->awaited || Clock::now() >= request->deadline) return;
  TRequestAnswer answer;
  answer.answered = request->list ? !lines.empty() : !line.empty();
  answer.line = std::move(line);
  answer.lines = std::move(lines);
  post([request, answer = std::move(answer)]() mutable { request->Settle(std::move(answer)); });
}

bool TServerRequests::WaitForRequest(Clock::time_point deadline, const TStopSignal& stop) {
  std::unique_lock<std::mutex> lock(mutex_);
  return cv_.wait_until(lock, deadline, [&] { return stop.IsRequested() || !queue_.empty(); });
}

void TServerRequests::Wake() {
  { std::lock_guard<std::mutex> lock(mutex_); }
  cv_.notify_all();
}

size_t TServerRequests::Queued() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return queue_.size();
}

}  // namespace vertamo
