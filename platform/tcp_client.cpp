#include "platform/tcp_client.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <chrono>
#include <string>

#include "platform/stop_signal.h"

namespace vertamo {

int WinsockErrorFromErrno(int error) {
  switch (error) {
    case 0:
      return 0;
    case EINTR:
      return 10004;
    case EBADF:
      return 10009;
    case EACCES:
    case EPERM:
      return 10013;
    case EFAULT:
      return 10014;
    case EINVAL:
      return 10022;
    case EMFILE:
    case ENFILE:
      return 10024;
    case EAGAIN:
#if EWOULDBLOCK != EAGAIN
    case EWOULDBLOCK:
#endif
    case EINPROGRESS:
      return wsa::kWouldBlock;  // a non-blocking connect under way
    case EALREADY:
      return 10037;
    case ENOTSOCK:
      return wsa::kNotSocket;
    case EDESTADDRREQ:
      return 10039;
    case EMSGSIZE:
      return 10040;
    case EPROTOTYPE:
      return 10041;
    case ENOPROTOOPT:
      return 10042;
    case EPROTONOSUPPORT:
      return 10043;
    case ESOCKTNOSUPPORT:
      return 10044;
    case EOPNOTSUPP:
      return 10045;
    case EPFNOSUPPORT:
      return 10046;
    case EAFNOSUPPORT:
      return 10047;
    case EADDRINUSE:
      return 10048;
    case EADDRNOTAVAIL:
      return wsa::kAddrNotAvail;
    case ENETDOWN:
      return 10050;
    case ENETUNREACH:
      return 10051;
    case ENETRESET:
      return 10052;
    case ECONNABORTED:
      return wsa::kConnAborted;
    case ECONNRESET:
    case EPIPE:
      return wsa::kConnReset;  // writing to a connection the peer dropped
    case ENOBUFS:
    case ENOMEM:
      return 10055;
    case EISCONN:
      return 10056;
    case ENOTCONN:
      return 10057;
    case ESHUTDOWN:
      return wsa::kShutdown;
    case ETIMEDOUT:
      return wsa::kTimedOut;
    case ECONNREFUSED:
      return wsa::kConnRefused;
    case EHOSTDOWN:
      return 10064;
    case EHOSTUNREACH:
      return 10065;
    default:
      return error;
  }
}

int WinsockErrorFromGai(int gai_error) {
  switch (gai_error) {
    case 0:
      return 0;
    case EAI_NONAME:
      return wsa::kHostNotFound;
    case EAI_AGAIN:
      return 11002;
#ifdef EAI_NODATA
    case EAI_NODATA:
      return 11004;
#endif
#ifdef EAI_ADDRFAMILY
    case EAI_ADDRFAMILY:
      return 11004;
#endif
    case EAI_SYSTEM:
      return WinsockErrorFromErrno(errno);
    default:
      return 11003;  // WSANO_RECOVERY
  }
}

namespace {

using Clock = std::chrono::steady_clock;

// Milliseconds left until `deadline` for poll: never negative; -1 (no limit)
// when the wait has no limit.
int MillisecondsLeft(Clock::time_point deadline, bool unlimited) {
  if (unlimited) return -1;
  const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
  return left > 0 ? static_cast<int>(left) : 0;
}

bool IsImmediateConnectFailure(int error) {
  return error == ECONNREFUSED || error == ENETUNREACH || error == EHOSTUNREACH || error == ETIMEDOUT;
}

}  // namespace

TTCPClient::~TTCPClient() { Close(); }

bool TTCPClient::Fail(int status, int error) {
  status_ = status;
  last_error_ = error;
  return false;
}

bool TTCPClient::Succeed() {
  status_ = kOk;
  last_error_ = 0;
  return true;
}

bool TTCPClient::FailErrno(int status) { return Fail(status, WinsockErrorFromErrno(errno)); }

bool TTCPClient::Resolve(std::string_view host, in_addr& address) {
  address.s_addr = INADDR_NONE;
  if (host.empty() || host.find('\0') != std::string_view::npos)
    return Fail(kNoSocketOrAddress, wsa::kHostNotFound);
  const std::string name(host);
  const in_addr_t numeric = inet_addr(name.c_str());
  if (numeric != INADDR_NONE) {
    address.s_addr = numeric;
    return Succeed();
  }
  addrinfo hints{};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* found = nullptr;
  const int rc = getaddrinfo(name.c_str(), nullptr, &hints, &found);
  if (rc != 0 || found == nullptr) {
    const int error = rc != 0 ? WinsockErrorFromGai(rc) : wsa::kHostNotFound;
    if (found) freeaddrinfo(found);
    return Fail(kNoSocketOrAddress, error);
  }
  address = reinterpret_cast<const sockaddr_in*>(found->ai_addr)->sin_addr;
  freeaddrinfo(found);
  return Succeed();
}

bool TTCPClient::Prepare(std::string_view host, int port) {
  if (port < 0 || port > 65535) return Fail(kNoSocketOrAddress, wsa::kAddrNotAvail);
  in_addr local{}, remote{};
  if (!Resolve("0.0.0.0", local) || !Resolve(host, remote)) return false;
  if (handle_ != kNoSocket) Close();
  bytes_received_ = bytes_sent_ = 0;
  connect_failed_ = false;
  connect_error_ = 0;
  remote_addr_ = sockaddr_in{};
  remote_addr_.sin_family = AF_INET;
  remote_addr_.sin_port = htons(static_cast<uint16_t>(port));
  remote_addr_.sin_addr = remote;

  handle_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (handle_ < 0) {
    handle_ = kNoSocket;
    return FailErrno(kNoSocketOrAddress);
  }
  local_addr_ = sockaddr_in{};
  local_addr_.sin_family = AF_INET;
  local_addr_.sin_port = 0;
  local_addr_.sin_addr = local;
  if (bind(handle_, reinterpret_cast<const sockaddr*>(&local_addr_), sizeof local_addr_) < 0)
    return FailErrno(kCallFailed);
  return Succeed();
}

bool TTCPClient::Connect(std::string_view host, int port) {
  if (!Prepare(host, port)) return false;
  int rc = connect(handle_, reinterpret_cast<const sockaddr*>(&remote_addr_), sizeof remote_addr_);
  if (rc < 0 && errno == EINTR) {
    // The connect goes on in the background: wait for its outcome.
    if (!WaitSocket(false, true, false, -1)) return Fail(kCallFailed, last_error_);
    int error = 0;
    socklen_t length = sizeof error;
    getsockopt(handle_, SOL_SOCKET, SO_ERROR, &error, &length);
    if (error != 0) return Fail(kCallFailed, WinsockErrorFromErrno(error));
    rc = 0;
  }
  if (rc < 0) return FailErrno(kCallFailed);
  socklen_t length = sizeof local_addr_;
  if (getsockname(handle_, reinterpret_cast<sockaddr*>(&local_addr_), &length) < 0)
    return FailErrno(kCallFailed);
  connected_ = true;
  return Succeed();
}

bool TTCPClient::ConnectAsync(std::string_view host, int port) {
  if (!Prepare(host, port)) return false;
  if (!SetBlocking(false)) return false;
  if (connect(handle_, reinterpret_cast<const sockaddr*>(&remote_addr_), sizeof remote_addr_) == 0) {
    // Connected at once (possible on POSIX): as good as a completed wait.
    socklen_t length = sizeof local_addr_;
    if (getsockname(handle_, reinterpret_cast<sockaddr*>(&local_addr_), &length) < 0)
      return FailErrno(kCallFailed);
    if (!SetBlocking(true)) return false;
    connected_ = true;
    return Succeed();
  }
  const int error = errno;
  if (error == EINPROGRESS || error == EAGAIN || error == EWOULDBLOCK || error == EINTR) return Succeed();
  if (IsImmediateConnectFailure(error)) {
    // Refused or unreachable before the call returned: the same outcome as a
    // connect that fails a moment later, so it is treated the same way.
    connect_failed_ = true;
    connect_error_ = WinsockErrorFromErrno(error);
    return Succeed();
  }
  return Fail(kNoSocketOrAddress, WinsockErrorFromErrno(error));
}

bool TTCPClient::WaitConnected(int milliseconds, const TStopSignal* stop) {
  if (connected_) return true;
  if (handle_ == kNoSocket) return Fail(kNoSocketOrAddress, wsa::kNotSocket);
  const bool unlimited = milliseconds < 0;
  const auto deadline = Clock::now() + std::chrono::milliseconds(unlimited ? 0 : milliseconds);
  if (!connect_failed_) {
    last_error_ = 0;
    if (!WaitSocket(false, true, false, milliseconds, stop)) {
      if (last_error_ == 0) last_error_ = wsa::kTimedOut;  // else stopped, or the wait failed
      return false;
    }
    int error = 0;
    socklen_t length = sizeof error;
    if (getsockopt(handle_, SOL_SOCKET, SO_ERROR, &error, &length) < 0) error = errno;
    if (error == 0) {
      length = sizeof local_addr_;
      if (getsockname(handle_, reinterpret_cast<sockaddr*>(&local_addr_), &length) < 0)
        return FailErrno(kCallFailed);
      if (!SetBlocking(true)) return false;
      connected_ = true;
      return Succeed();
    }
    connect_failed_ = true;
    connect_error_ = WinsockErrorFromErrno(error);
  }
  // A failed connect never counts as done: the caller's wait runs its length.
  if (unlimited) {
    last_error_ = wsa::kTimedOut;
    return false;
  }
  const int left = MillisecondsLeft(deadline, false);
  bool stopped = false;
  if (stop) {
    stopped = stop->WaitFor(left);
  } else if (left > 0) {
    while (Clock::now() < deadline) poll(nullptr, 0, MillisecondsLeft(deadline, false));
  }
  last_error_ = stopped ? wsa::kInterrupted : wsa::kTimedOut;
  return false;
}

bool TTCPClient::SetBlocking(bool blocking) {
  if (handle_ == kNoSocket) return Fail(kNoSocketOrAddress, wsa::kNotSocket);
  int non_blocking = blocking ? 0 : 1;
  if (ioctl(handle_, FIONBIO, &non_blocking) < 0) return FailErrno(kCallFailed);
  return Succeed();
}

bool TTCPClient::Close() {
  if (handle_ != kNoSocket) {
    shutdown(handle_, SHUT_WR);
    if (close(handle_) < 0) last_error_ = WinsockErrorFromErrno(errno);
    handle_ = kNoSocket;
  }
  connected_ = false;
  connect_failed_ = false;
  connect_error_ = 0;
  status_ = kOk;
  return true;
}

void TTCPClient::AfterTransfer(long count, size_t asked, int64_t& total) {
  last_count_ = count;
  if (count < 0) {
    FailErrno(kIoFailed);
    return;
  }
  total += count;
  if (static_cast<size_t>(count) < asked)
    Fail(kShortTransfer, 0);
  else
    Succeed();
}

bool TTCPClient::Send(const void* data, size_t length) {
  if (handle_ == kNoSocket) return Fail(kNoSocketOrAddress, wsa::kNotSocket);
  ssize_t n;
  do n = send(handle_, data, length, MSG_NOSIGNAL);
  while (n < 0 && errno == EINTR);
  AfterTransfer(static_cast<long>(n), length, bytes_sent_);
  return status_ == kOk;
}

bool TTCPClient::Receive(void* buffer, size_t size) {
  if (handle_ == kNoSocket) return Fail(kNoSocketOrAddress, wsa::kNotSocket);
  ssize_t n;
  do n = recv(handle_, buffer, size, 0);
  while (n < 0 && errno == EINTR);
  AfterTransfer(static_cast<long>(n), size, bytes_received_);
  return status_ == kOk;
}

size_t TTCPClient::Available() {
  if (handle_ == kNoSocket) return 0;
  int count = 0;
  if (ioctl(handle_, FIONREAD, &count) < 0) {
    last_error_ = WinsockErrorFromErrno(errno);
    return 0;
  }
  return count > 0 ? static_cast<size_t>(count) : 0;
}

bool TTCPClient::WaitSocket(bool readable, bool writable, bool error, int milliseconds,
                            const TStopSignal* stop) {
  if (handle_ == kNoSocket) {
    last_error_ = wsa::kNotSocket;
    return false;
  }
  const bool unlimited = milliseconds < 0;
  const auto deadline = Clock::now() + std::chrono::milliseconds(unlimited ? 0 : milliseconds);
  const bool watch_socket = readable || writable || error;
  short events = 0;
  if (readable) events |= POLLIN;
  if (writable) events |= POLLOUT;
  if (error) events |= POLLPRI;
  // Errors and hang-ups wake every kind of wait: the next call collects them.
  short ready_mask =
      POLLERR | POLLHUP | (readable ? POLLIN : 0) | (writable ? POLLOUT : 0) | (error ? POLLPRI : 0);
  const int stop_fd = stop ? stop->Fd() : -1;
  for (;;) {
    if (stop && stop->IsRequested()) {
      last_error_ = wsa::kInterrupted;
      return false;
    }
    int timeout = MillisecondsLeft(deadline, unlimited);
    // Without an event descriptor the stop flag is tested every millisecond.
    if (stop && stop_fd < 0 && (timeout < 0 || timeout > 1)) timeout = 1;
    std::array<pollfd, 2> fds{{{watch_socket ? handle_ : -1, events, 0}, {stop_fd, POLLIN, 0}}};
    const int count = poll(fds.data(), stop_fd >= 0 ? 2 : 1, timeout);
    if (count < 0) {
      if (errno == EINTR) continue;
      last_error_ = WinsockErrorFromErrno(errno);
      return false;
    }
    if (fds[0].revents & POLLNVAL) {
      last_error_ = wsa::kNotSocket;
      return false;
    }
    if (fds[0].revents & ready_mask) return true;
    if (stop && stop->IsRequested()) {
      last_error_ = wsa::kInterrupted;
      return false;
    }
    if (!unlimited && Clock::now() >= deadline) return false;
  }
}

void TTCPClient::Drain() {
  std::array<char, 16384> scratch;
  size_t left = Available();
  while (left > 0) {
    if (!Receive(scratch.data(), std::min(left, scratch.size()))) break;
    left -= static_cast<size_t>(last_count_);
  }
}

void TTCPClient::Adopt(int socket_fd) {
  Close();
  handle_ = socket_fd;
  connected_ = socket_fd != kNoSocket;
  bytes_received_ = bytes_sent_ = 0;
  local_addr_ = remote_addr_ = sockaddr_in{};
  sockaddr_storage address{};
  socklen_t length = sizeof address;
  if (getsockname(socket_fd, reinterpret_cast<sockaddr*>(&address), &length) == 0 &&
      address.ss_family == AF_INET)
    local_addr_ = *reinterpret_cast<const sockaddr_in*>(&address);
  length = sizeof address;
  if (getpeername(socket_fd, reinterpret_cast<sockaddr*>(&address), &length) == 0 &&
      address.ss_family == AF_INET)
    remote_addr_ = *reinterpret_cast<const sockaddr_in*>(&address);
  Succeed();
}

}  // namespace vertamo
