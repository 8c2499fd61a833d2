#include "voice/gateway_worker.h"

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

void TGatewayWorker::SetDirection(int line, bool talk) { Post({TGatewayResult::TKind::Direction, line, talk}); }

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
    TCommand command;
    {
      std::unique_lock lock(mutex_);
      posted_.wait(lock, [this] { return stop_.IsRequested() || !queue_.empty(); });
      if (stop_.IsRequested()) break;
      command = queue_.front();
      queue_.pop_front();
    }
    Execute(command);
  }
  client_.Close();
}

void TGatewayWorker::Execute(const TCommand& command) {
  if (!opened_) {
    opened_ = true;
    client_.Open(host_, port_, connectMs_);
    if (stop_.IsRequested()) return;
    TGatewayResult opened;
    opened.ok = opened.ready = client_.Ready();
    results_.GatewayResult(opened);
  }
  if (command.kind == TGatewayResult::TKind::Opened) return;

  TGatewayResult result;
  result.kind = command.kind;
  result.line = command.line;
  result.talk = command.talk;
  switch (command.kind) {
    case TGatewayResult::TKind::Settings:
      result.ok = client_.GetSwitchSettings(result.settingsText);
      break;
    case TGatewayResult::TKind::Level:
      result.ok = client_.GetLineState(command.line, result.mode, result.level);
      break;
    case TGatewayResult::TKind::Direction:
      result.ok = client_.SetDirection(command.line, command.talk);
      break;
    case TGatewayResult::TKind::Opened:
      break;
  }
  if (stop_.IsRequested()) return;
  result.ready = client_.Ready();
  if (command.kind == TGatewayResult::TKind::Level) {
    std::lock_guard lock(mutex_);
    pollPending_ = false;
  }
  results_.GatewayResult(result);
}

}  // namespace vertamo
