#include "tools/orvex-sim/connection.h"

#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>

namespace orvexsim {

bool Connection::WaitReady(bool forWrite, int timeoutMs, bool* timedOut) {
  if (timedOut) *timedOut = false;
  pollfd fds[2] = {{fd_, static_cast<short>(forWrite ? POLLOUT : POLLIN), 0}, {stopFd_, POLLIN, 0}};
  for (;;) {
    int n = ::poll(fds, 2, timeoutMs);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    if (fds[1].revents) return false;
    if (n == 0) {
      if (timedOut) *timedOut = true;
      return false;
    }
    return true;
  }
}

bool Connection::ReadLine(std::string* line) {
  for (;;) {
    // A line ends at CR or LF; the LF of a CR LF pair is not a second line end.
    if (afterCr_ && !buffer_.empty()) {
      if (buffer_[0] == '\n') buffer_.erase(0, 1);
      afterCr_ = false;
    }
    const size_t pos = 0;
    size_t end = buffer_.find_first_of("\r\n", pos);
    if (end != std::string::npos) {
      line->assign(buffer_, pos, end - pos);
      afterCr_ = buffer_[end] == '\r';
      buffer_.erase(0, end + 1);
      return true;
    }
    if (buffer_.size() - pos >= kMaxLine) {
      line->assign(buffer_, pos, kMaxLine);
      buffer_.erase(0, pos + kMaxLine);
      return true;
    }
    if (!WaitReady(false, -1, nullptr)) return false;
    char chunk[16384];
    ssize_t n = ::recv(fd_, chunk, sizeof chunk, 0);
    if (n < 0 && (errno == EINTR || errno == EAGAIN)) continue;
    if (n <= 0) return false;
    buffer_.append(chunk, static_cast<size_t>(n));
  }
}

bool Connection::Send(std::string_view bytes) {
  while (!bytes.empty()) {
    if (!WaitReady(true, -1, nullptr)) return false;
    ssize_t n = ::send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
    if (n < 0) {
      if (errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK) continue;
      return false;
    }
    bytes.remove_prefix(static_cast<size_t>(n));
  }
  return true;
}

bool Connection::SendDrip(std::string_view bytes, int delayMs) {
  for (size_t i = 0; i < bytes.size(); ++i) {
    if (i > 0 && delayMs > 0 && !Wait(delayMs)) return false;
    if (!Send(bytes.substr(i, 1))) return false;
  }
  return true;
}

bool Connection::Wait(int ms) {
  using clock = std::chrono::steady_clock;
  const auto until = clock::now() + std::chrono::milliseconds(ms);
  for (;;) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(until - clock::now()).count();
    if (left <= 0) return true;
    pollfd fd{stopFd_, POLLIN, 0};
    int n = ::poll(&fd, 1, static_cast<int>(left));
    if (n > 0) return false;
    if (n < 0 && errno != EINTR) return false;
  }
}

void Connection::Shutdown() { ::shutdown(fd_, SHUT_RDWR); }

}  // namespace orvexsim
