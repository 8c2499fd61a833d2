#include "voice/gateway_worker.h"

#include <algorithm>
#include <utility>

namespace vertamo {

TGatewayWorker::TGatewayWorker(IGatewayResults& results, std::string host, int port, int connectMs)
    : results_(results), host_(std::move(host)), port_(port), connectMs_(connectMs) {
  thread_ = std::thread([this] { Run(); });
}

TGatewayWorker::~TGatewayWorker() { Stop(); }

void TGatewayWorker::Open() { Post({TGatewayResult::TKind::Opened}); }

void TGatewayWorker::ReadSettings() { Post({TGatewayResult::TKind::Settings}); }

bool TGatewayWorker::PollLevel(int line) {
  {
    std::lock_guard lock(mutex_);
    if (pollPending_) return false;
    pollPending_ = true;
    queue_.push_back({TGatewayResult::TKind::Level, line});
  }
  posted_.notify_one();
  return true;
}

void TGatewayWorker::SetDirection(int line, bool talk) {
  {
    std::lock_guard lock(mutex_);
    directionWanted_ = true;
    wantedLine_ = line;
    wantedTalk_ = talk;
    // One switch waiting is enough: it sends whatever is wanted when it runs.
    if (directionQueued_) return;
    directionQueued_ = true;
    queue_.push_back({TGatewayResult::TKind::Direction, line});
  }
  posted_.notify_one();
}

void TGatewayWorker::Post(const TCommand& command) {
  {
    std::lock_guard lock(mutex_);
    queue_.push_back(command);
  }
  posted_.notify_one();
}

void TGatewayWorker::Stop() {
  {
    std::lock_guard lock(mutex_);
    stop_.Request();
  }
  posted_.notify_one();
  if (thread_.joinable()) thread_.join();
}

void TGatewayWorker::Run() {
  for (;;) {
    bool have = false;
    TCommand command{};
    {
      std::unique_lock lock(mutex_);
      const auto woken = [this] { return stop_.IsRequested() || !queue_.empty(); };
      if (opened_ && !up_)
        posted_.wait_until(lock, retryAt_, woken);
      else
        posted_.wait(lock, woken);
      if (stop_.IsRequested()) break;
      if (!queue_.empty()) {
        have = true;
        command = queue_.front();
        queue_.pop_front();
      }
    }
    if (!opened_ || (!up_ && TClock::now() >= retryAt_)) Connect();
    if (stop_.IsRequested()) break;
    if (have) Execute(command);
  }
  client_.Close();
}

void TGatewayWorker::Connect() {
  const bool first = !opened_;
  opened_ = true;
  client_.Close();
  client_.Open(host_, port_, connectMs_);
  if (stop_.IsRequested()) return;
  const bool up = client_.Ready();
  if (!up) {
    retryAt_ = TClock::now() + std::chrono::milliseconds(retryMs_);
    retryMs_ = std::min(2 * retryMs_, kLongestRetryMs);
  }
  if (first || up != up_) {
    up_ = up;
    TGatewayResult opened;
    opened.ok = opened.ready = up;
    Deliver(opened);
  }
  if (!up || first) return;
  // The gateway may have reset the line with the connection: the direction
  // last asked for is sent again, unless a switch waits in the queue anyway.
  bool again;
  {
    std::lock_guard lock(mutex_);
    again = directionWanted_ && !directionQueued_;
  }
  if (again) SendDirection();
}

void TGatewayWorker::Lost() {
  client_.Close();
  up_ = false;
  retryAt_ = TClock::now() + std::chrono::milliseconds(retryMs_);
  retryMs_ = std::min(2 * retryMs_, kLongestRetryMs);
  Deliver(TGatewayResult{});  // Opened, not ok
}

void TGatewayWorker::ResetRetries() { retryMs_ = kFirstRetryMs; }

void TGatewayWorker::Execute(const TCommand& command) {
  using TKind = TGatewayResult::TKind;
  if (command.kind == TKind::Opened) return;
  if (command.kind == TKind::Direction) {
    {
      std::lock_guard lock(mutex_);
      directionQueued_ = false;
    }
    // While the link is down the wanted direction waits for its return.
    if (up_) SendDirection();
    return;
  }

  TGatewayResult result;
  result.kind = command.kind;
  result.line = command.line;
  bool lost = false;
  if (up_ && client_.Waiting()) {
    lost = true;  // the last reply went on past its line
  } else if (up_) {
    if (command.kind == TKind::Settings)
      result.ok = client_.GetSwitchSettings(result.settingsText);
    else
      result.ok = client_.GetLineState(command.line, result.mode, result.level);
    lost = !client_.Answered();
  }
  if (stop_.IsRequested()) return;
  result.ready = client_.Ready();
  if (command.kind == TKind::Level) {
    std::lock_guard lock(mutex_);
    pollPending_ = false;
  }
  if (up_ && !lost) ResetRetries();
  Deliver(std::move(result));
  if (lost) Lost();
}

void TGatewayWorker::SendDirection() {
  TGatewayResult result;
  result.kind = TGatewayResult::TKind::Direction;
  {
    std::lock_guard lock(mutex_);
    result.line = wantedLine_;
    result.talk = wantedTalk_;
  }
  bool lost = true;
  if (!client_.Waiting()) {
    result.ok = client_.SetDirection(result.line, result.talk);
    lost = !client_.Answered();
  }
  if (stop_.IsRequested()) return;
  result.ready = client_.Ready();
  if (!lost) ResetRetries();
  Deliver(std::move(result));
  if (lost) Lost();
}

void TGatewayWorker::Deliver(TGatewayResult result) {
  if (stop_.IsRequested()) return;
  results_.GatewayResult(result);
}

}  // namespace vertamo
