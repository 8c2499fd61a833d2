// The gateway worker's results handed to a window's thread as queued calls,
// each tagged with the conversation (worker) it came from, so that the window
// can drop what an earlier worker said. Calls queued for a window that is
// gone are dropped with it.
#pragma once

#include <QObject>
#include <cstdint>
#include <functional>

#include "voice/gateway_worker.h"

namespace vertamo::ui {

class TGatewayHandOver final : public IGatewayResults {
 public:
  using TApply = std::function<void(std::uint64_t conversation, const TGatewayResult& result)>;

  TGatewayHandOver(QObject* context, std::uint64_t conversation, TApply apply)
      : context_(context), conversation_(conversation), apply_(std::move(apply)) {}

  // Worker thread.
  void GatewayResult(const TGatewayResult& result) override {
    QMetaObject::invokeMethod(
        context_, [apply = apply_, conversation = conversation_, result] { apply(conversation, result); },
        Qt::QueuedConnection);
  }

 private:
  QObject* context_;
  const std::uint64_t conversation_;
  const TApply apply_;
};

}  // namespace vertamo::ui
