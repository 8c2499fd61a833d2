#include "platform/stop_signal.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdint>

namespace vertamo {

TStopSignal::TStopSignal() : fd_(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {}

TStopSignal::~TStopSignal() {
  if (fd_ >= 0) close(fd_);
}

void TStopSignal::Request() {
  // The flag first: whoever wakes on the descriptor must see it raised.
  requested_.store(true, std::memory_order_release);
  if (fd_ < 0) return;
  const uint64_t one = 1;
  // EAGAIN only when the counter is already near its maximum: still readable.
  while (write(fd_, &one, sizeof one) < 0 && errno == EINTR) {
  }
}

void TStopSignal::Reset() {
  requested_.store(false, std::memory_order_release);
  if (fd_ < 0) return;
  uint64_t count = 0;
  while (read(fd_, &count, sizeof count) < 0 && errno == EINTR) {
  }
}

bool TStopSignal::WaitFor(int milliseconds) const {
  using Clock = std::chrono::steady_clock;
  const auto deadline = Clock::now() + std::chrono::milliseconds(milliseconds < 0 ? 0 : milliseconds);
  while (!IsRequested()) {
    int timeout = -1;
    if (milliseconds >= 0) {
      const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
      if (left <= 0) break;
      timeout = static_cast<int>(left);
    }
    if (fd_ < 0) {
      // No event descriptor: sleep in the steps the waits always had.
      poll(nullptr, 0, timeout < 0 || timeout > 1 ? 1 : timeout);
      continue;
    }
    pollfd p{fd_, POLLIN, 0};
    poll(&p, 1, timeout);  // EINTR or a time-out: the loop decides
  }
  return IsRequested();
}

}  // namespace vertamo
