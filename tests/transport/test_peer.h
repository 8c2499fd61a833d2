// A tiny TCP peer for transport tests: a listener on an ephemeral loopback
// port and the accepted connection, driven by plain POSIX calls so that the
// code under test is the only user of its own socket code.
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>

namespace vertamo::testing {

// A TCP socket bound to 127.0.0.1, port chosen by the system.
inline int BindLoopback(int& port) {
  const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
  socklen_t len = sizeof a;
  getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len);
  port = ntohs(a.sin_port);
  return fd;
}

// Listens on 127.0.0.1, port chosen by the system.
class TestListener {
 public:
  TestListener() : fd_(BindLoopback(port_)) { listen(fd_, 8); }
  ~TestListener() { close(fd_); }
  TestListener(const TestListener&) = delete;
  TestListener& operator=(const TestListener&) = delete;

  int port() const { return port_; }

  // The next connection, or -1 after `timeout_ms` without one.
  int Accept(int timeout_ms = 5000) {
    pollfd p{fd_, POLLIN, 0};
    if (poll(&p, 1, timeout_ms) <= 0) return -1;
    return accept4(fd_, nullptr, nullptr, SOCK_CLOEXEC);
  }

 private:
  int port_ = 0;
  int fd_ = -1;
};

// A port on 127.0.0.1 that refuses connections: bound but not listening, and
// held for the object's life so that nobody else takes it meanwhile.
class RefusingPort {
 public:
  RefusingPort() : fd_(BindLoopback(port_)) {}
  ~RefusingPort() { close(fd_); }
  RefusingPort(const RefusingPort&) = delete;
  RefusingPort& operator=(const RefusingPort&) = delete;
  int port() const { return port_; }

 private:
  int port_ = 0;
  int fd_ = -1;
};

// The server side of one connection.
class TestPeer {
 public:
  explicit TestPeer(int fd = -1) : fd_(fd) {}
  ~TestPeer() {
    if (fd_ >= 0) close(fd_);
  }
  TestPeer(const TestPeer&) = delete;
  TestPeer& operator=(const TestPeer&) = delete;
  TestPeer& operator=(TestPeer&& other) noexcept {
    std::swap(fd_, other.fd_);
    return *this;
  }

  int fd() const { return fd_; }
  bool valid() const { return fd_ >= 0; }

  bool Send(std::string_view bytes) {
    while (!bytes.empty()) {
      const ssize_t n = send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) return false;
      bytes.remove_prefix(static_cast<size_t>(n));
    }
    return true;
  }

  // Reads until `count` bytes came, the stream ended or `timeout_ms` passed
  // without data.
  std::string Read(size_t count, int timeout_ms = 5000) {
    std::string out;
    char buf[4096];
    while (out.size() < count) {
      pollfd p{fd_, POLLIN, 0};
      if (poll(&p, 1, timeout_ms) <= 0) break;
      const ssize_t n = recv(fd_, buf, std::min(sizeof buf, count - out.size()), 0);
      if (n <= 0) break;
      out.append(buf, static_cast<size_t>(n));
    }
    return out;
  }

  // An orderly close: the client sees the end of the stream.
  void CloseGracefully() {
    if (fd_ < 0) return;
    shutdown(fd_, SHUT_WR);
    close(fd_);
    fd_ = -1;
  }

  // An abortive close: the client sees a connection reset.
  void Reset() {
    if (fd_ < 0) return;
    linger l{1, 0};
    setsockopt(fd_, SOL_SOCKET, SO_LINGER, &l, sizeof l);
    close(fd_);
    fd_ = -1;
  }

 private:
  int fd_ = -1;
};

}  // namespace vertamo::testing
