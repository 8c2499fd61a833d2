#include "shell/sliced_work.h"

#include <QElapsedTimer>
#include <utility>

namespace vertamo::ui {

TSlicedWork::TSlicedWork(QObject* owner, int sliceMs) : timer_(new QTimer(owner)), sliceMs_(sliceMs) {
  timer_->setSingleShot(true);
  timer_->setInterval(0);
  QObject::connect(timer_, &QTimer::timeout, owner, [this] { RunSlice(); });
}

bool TSlicedWork::Start(Step step, std::function<void()> done) {
  Cancel();
  step_ = std::make_shared<Step>(std::move(step));
  done_ = std::move(done);
  RunSlice();
  return !Running();
}

void TSlicedWork::Cancel() {
  timer_->stop();
  step_ = nullptr;
  done_ = nullptr;
}

void TSlicedWork::RunSlice() {
  if (!step_) return;
  QElapsedTimer clock;
  clock.start();
  for (;;) {
    const std::shared_ptr<Step> step = step_;
    if (!(*step)()) break;
    if (!step_) return;
    if (clock.elapsed() >= sliceMs_) {
      timer_->start();
      return;
    }
  }
  if (!step_) return;
  const std::function<void()> done = std::move(done_);
  step_ = nullptr;
  done_ = nullptr;
  if (done) done();
}

}  // namespace vertamo::ui
