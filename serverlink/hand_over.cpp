#include "serverlink/hand_over.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <utility>

namespace vertamo {

namespace {

enum class CallStatus { Pending, Running, Done, Withdrawn, Dropped };

struct Call {
  std::function<void()> fn;
  CallStatus status = CallStatus::Pending;
  bool servable = true;  // may run inside a main-thread wait (ServePending)
};

}  // namespace

// Shared by the hand-over object and every task it posted, so that a task the
// main thread runs late (after a stop, after the thread has gone) still finds
// valid memory.
struct THandOver::State {
  std::mutex mutex;
  std::condition_variable cv;
  bool stop = false;
  // Routines handed over and not yet started, oldest first.
  std::deque<std::shared_ptr<Call>> pending;

  // Main thread: runs the oldest pending routine; false when there is none, or
  // (servableOnly) when the oldest one must wait for the event loop.
  bool ServeOne(bool servableOnly) {
    std::shared_ptr<Call> call;
    {
      std::lock_guard<std::mutex> lock(mutex);
      if (stop || pending.empty()) return false;
      if (servableOnly && !pending.front()->servable) return false;
      call = std::move(pending.front());
      pending.pop_front();
      call->status = CallStatus::Running;
    }
    // Marks the call done even when the routine throws; the exception goes on
    // to the main thread's own handling.
    struct DoneMark {
      State& state;
      Call& call;
      ~DoneMark() {
        {
          std::lock_guard<std::mutex> lock(state.mutex);
          call.status = CallStatus::Done;
        }
        state.cv.notify_all();
      }
    } done{*this, *call};
    call->fn();
    return true;
  }

  // Takes a call that never started out of the queue (mutex held).
  void RemoveLocked(const std::shared_ptr<Call>& call, CallStatus status) {
    call->status = status;
    pending.erase(std::remove(pending.begin(), pending.end(), call), pending.end());
  }
};

THandOver::THandOver(IMainThreadExecutor& executor)
    : executor_(executor), state_(std::make_shared<State>()) {}

THandOver::~THandOver() = default;

void THandOver::RequestStop() {
  {
    std::lock_guard<std::mutex> lock(state_->mutex);
    state_->stop = true;
    for (auto& call : state_->pending) call->status = CallStatus::Withdrawn;
    state_->pending.clear();
  }
  state_->cv.notify_all();
}

bool THandOver::StopRequested() const {
  std::lock_guard<std::mutex> lock(state_->mutex);
  return state_->stop;
}

bool THandOver::HasPending() const {
  std::lock_guard<std::mutex> lock(state_->mutex);
  return !state_->stop && !state_->pending.empty() && state_->pending.front()->servable;
}

bool THandOver::ServePending() { return state_->ServeOne(true); }

bool THandOver::Synchronize(std::function<void()> fn) { return Synchronize(std::move(fn), true); }

bool THandOver::Synchronize(std::function<void()> fn, bool servableInWait) {
  if (!fn) return true;
  auto state = state_;
  auto call = std::make_shared<Call>();
  call->fn = std::move(fn);
  call->servable = servableInWait;
  {
    std::lock_guard<std::mutex> lock(state->mutex);
    if (state->stop) return false;
    state->pending.push_back(call);
  }

  // The task posted to the main thread runs the oldest pending routine (this
  // one, unless ServePending already ran it). It lives inside the posted task
  // only: when the executor destroys the task without running it, its
  // destructor tells the waiting side.
  struct Drain {
    Drain(std::shared_ptr<State> s, std::shared_ptr<Call> c) : state(std::move(s)), call(std::move(c)) {}
    Drain(const Drain&) = delete;
    Drain& operator=(const Drain&) = delete;
    std::shared_ptr<State> state;
    std::shared_ptr<Call> call;
    std::atomic<bool> ran{false};
    ~Drain() {
      if (ran.load(std::memory_order_acquire)) return;
      {
        std::lock_guard<std::mutex> lock(state->mutex);
        if (call->status != CallStatus::Pending) return;
        state->RemoveLocked(call, CallStatus::Dropped);
      }
      state->cv.notify_all();
    }
  };
  auto drain = std::make_shared<Drain>(state, call);
  executor_.Post([drain]() {
    drain->ran.store(true, std::memory_order_release);
    drain->state->ServeOne(false);
  });
  drain.reset();  // from now on only the posted task keeps it
  if (pendingSignal_) pendingSignal_();

  std::unique_lock<std::mutex> lock(state->mutex);
  state->cv.wait(lock, [&] {
    return state->stop || call->status == CallStatus::Done || call->status == CallStatus::Dropped ||
           call->status == CallStatus::Withdrawn;
  });
  if (call->status == CallStatus::Done) return true;
  if (call->status == CallStatus::Pending) state->RemoveLocked(call, CallStatus::Withdrawn);
  return false;
}

}  // namespace vertamo
