// A scripted dispatch server on a loopback port, for the connection thread's
// tests. Every accepted connection runs the handler on a thread of its own;
// destroying the server closes every connection and joins those threads.
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace vertamo::testing {

class TFakeServer;

// One client connection as the server sees it.
class TFakeConnection {
 public:
  TFakeConnection(int fd, TFakeServer& server) : fd_(fd), server_(server) {}
  ~TFakeConnection() { Close(); }

  // Reads one line ended by CR (LF dropped). False when the peer closed, the
  // connection was closed, or nothing came within the time.
  bool ReadLine(std::string& line, int timeoutMs = 20000);
  // Sends raw bytes.
  void Send(std::string_view bytes) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (fd_ < 0) return;
    size_t done = 0;
    while (done < bytes.size()) {
      const ssize_t n = ::send(fd_, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
      if (n <= 0) return;
      done += static_cast<size_t>(n);
    }
  }
  void SendLine(std::string_view line) {
    std::string text(line);
    text += "\r\n";
    Send(text);
  }
  void SendLines(const std::vector<std::string>& lines) {
    std::string text;
    for (const auto& l : lines) text += l + "\r\n";
    Send(text);
  }
  // Closes the socket (the client sees a graceful end).
  void Close() {
    std::lock_guard<std::mutex> lock(mutex_);
    if (fd_ >= 0) {
      ::shutdown(fd_, SHUT_RDWR);
      ::close(fd_);
      fd_ = -1;
    }
  }
  const TFakeServer& server() const { return server_; }
  // The client closed its end, or the connection was shut down.
  bool Ended() const { return ended_; }
  // Wakes a pending ReadLine without closing (used by the server's shutdown).
  void Shutdown() {
    std::lock_guard<std::mutex> lock(mutex_);
    if (fd_ >= 0) ::shutdown(fd_, SHUT_RDWR);
  }

 private:
  int fd_;
  TFakeServer& server_;
  std::mutex mutex_;
  std::string pending_;
  std::atomic<bool> ended_{false};
};

class TFakeServer {
 public:
  using Handler = std::function<void(TFakeConnection&)>;

  explicit TFakeServer(Handler handler) : handler_(std::move(handler)) {
    listen_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    int one = 1;
    ::setsockopt(listen_, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = 0;
    ::bind(listen_, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
    ::listen(listen_, 16);
    socklen_t len = sizeof addr;
    ::getsockname(listen_, reinterpret_cast<sockaddr*>(&addr), &len);
    port_ = ntohs(addr.sin_port);
    if (::pipe(wake_) != 0) wake_[0] = wake_[1] = -1;
    acceptor_ = std::thread([this] { AcceptLoop(); });
  }

  ~TFakeServer() {
    stopping_ = true;
    if (wake_[1] >= 0) {
      const char c = 1;
      [[maybe_unused]] auto n = ::write(wake_[1], &c, 1);
    }
    acceptor_.join();
    {
      std::lock_guard<std::mutex> lock(mutex_);
      for (auto& c : connections_) c->Shutdown();
    }
    for (auto& t : workers_) t.join();
    ::close(listen_);
    if (wake_[0] >= 0) ::close(wake_[0]);
    if (wake_[1] >= 0) ::close(wake_[1]);
  }

  int port() const { return port_; }
  bool stopping() const { return stopping_; }
  int Accepted() const { return accepted_; }

  // Ends every open connection now (a server that drops its clients): the
  // client sees the end of the stream; each handler then returns.
  void DropAll() {
    std::lock_guard<std::mutex> lock(mutex_);
    for (auto& c : connections_) c->Shutdown();
  }

  // Every line a client sent, over all connections, in arrival order.
  std::vector<std::string> Received() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return received_;
  }
  int CountReceived(std::string_view prefix) const {
    std::lock_guard<std::mutex> lock(mutex_);
    int n = 0;
    for (const auto& l : received_)
      if (l.compare(0, prefix.size(), prefix) == 0) ++n;
    return n;
  }
  // Waits until at least `count` lines beginning with `prefix` have arrived.
  bool WaitReceived(std::string_view prefix, int count, int timeoutMs = 20000) {
    std::unique_lock<std::mutex> lock(mutex_);
    return cv_.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] {
      int n = 0;
      for (const auto& l : received_)
        if (l.compare(0, prefix.size(), prefix) == 0) ++n;
      return n >= count;
    });
  }

  void NoteReceived(const std::string& line) {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      received_.push_back(line);
    }
    cv_.notify_all();
  }

 private:
  void AcceptLoop() {
    for (;;) {
      pollfd fds[2] = {{listen_, POLLIN, 0}, {wake_[0], POLLIN, 0}};
      if (::poll(fds, 2, -1) < 0) continue;
      if (stopping_) return;
      if (!(fds[0].revents & POLLIN)) continue;
      const int fd = ::accept4(listen_, nullptr, nullptr, SOCK_CLOEXEC);
      if (fd < 0) continue;
      ++accepted_;
      auto conn = std::make_shared<TFakeConnection>(fd, *this);
      std::lock_guard<std::mutex> lock(mutex_);
      connections_.push_back(conn);
      workers_.emplace_back([this, conn] {
        handler_(*conn);
        conn->Close();
      });
    }
  }

  Handler handler_;
  int listen_ = -1;
  int wake_[2] = {-1, -1};
  int port_ = 0;
  std::atomic<bool> stopping_{false};
  std::atomic<int> accepted_{0};
  std::thread acceptor_;
  mutable std::mutex mutex_;
  std::condition_variable cv_;
  std::vector<std::shared_ptr<TFakeConnection>> connections_;
  std::vector<std::thread> workers_;
  std::vector<std::string> received_;
};

inline bool TFakeConnection::ReadLine(std::string& line, int timeoutMs) {
  line.clear();
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  for (;;) {
    const size_t cr = pending_.find('\r');
    if (cr != std::string::npos) {
      for (char c : pending_.substr(0, cr))
        if (c != '\n') line += c;
      pending_.erase(0, cr + 1);
      server_.NoteReceived(line);
      return true;
    }
    int fd;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      fd = fd_;
    }
    if (fd < 0 || server_.stopping()) {
      ended_ = true;
      return false;
    }
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now())
            .count();
    if (left <= 0) return false;
    pollfd p{fd, POLLIN, 0};
    const int r = ::poll(&p, 1, static_cast<int>(std::min<long long>(left, 50)));
    if (r <= 0) continue;
    char buffer[4096];
    const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
    if (n <= 0) {
      ended_ = true;
      return false;
    }
    pending_.append(buffer, static_cast<size_t>(n));
  }
}

}  // namespace vertamo::testing
