// A fake dispatch server for one connection, on its own thread: every request
// line it receives is recorded and answered with the bytes scripted for it.
// Tests reach it over loopback TCP; fuzz targets over a socket pair.
#pragma once

#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <deque>
#include <map>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace vertamo::testing {

class ScriptedServer {
 public:
  ScriptedServer() {
    if (::pipe2(wake_, O_CLOEXEC) != 0) wake_[0] = wake_[1] = -1;
  }
  ~ScriptedServer() {
    Stop();
    for (int fd : {wake_[0], wake_[1], listen_})
      if (fd >= 0) ::close(fd);
  }
  ScriptedServer(const ScriptedServer&) = delete;
  ScriptedServer& operator=(const ScriptedServer&) = delete;

  // Answers the request line `request` (without its CR LF) with `reply`.
  // Several replies to one request are used in turn; the last one repeats.
  void On(const std::string& request, std::string reply) {
    std::lock_guard lock(mutex_);
    scripted_[request].push_back(std::move(reply));
  }
  // Replies, in turn, to requests that have no reply of their own.
  void Then(std::string reply) {
    std::lock_guard lock(mutex_);
    queue_.push_back(std::move(reply));
  }
  // A request with no reply left: close the connection (true, the default) or
  // stay silent.
  void CloseWhenUnscripted(bool close) { closeWhenUnscripted_ = close; }

  // Listens on 127.0.0.1, an ephemeral port, and serves the first connection.
  // Returns the port, 0 on failure.
  int ListenLoopback() {
    listen_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (listen_ < 0 || ::bind(listen_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(listen_, 1) != 0 ||
        ::getsockname(listen_, reinterpret_cast<sockaddr*>(&address), &length) != 0)
      return 0;
    thread_ = std::thread([this] {
      pollfd fds[2] = {{listen_, POLLIN, 0}, {wake_[0], POLLIN, 0}};
      if (::poll(fds, 2, -1) <= 0 || !(fds[0].revents & POLLIN)) return;
      connection_ = ::accept4(listen_, nullptr, nullptr, SOCK_CLOEXEC);
      if (connection_.load() >= 0) Serve();
    });
    return ntohs(address.sin_port);
  }

  // Serves one end of a socket pair; returns the other end for the client
  // (TTCPClient::Adopt), -1 on failure.
  int StartSocketPair() {
    int pair[2];
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, pair) != 0) return -1;
    connection_ = pair[0];
    thread_ = std::thread([this] { Serve(); });
    return pair[1];
  }

  // The request lines received so far, in order.
  std::vector<std::string> Requests() const {
    std::lock_guard lock(mutex_);
    return requests_;
  }
  bool Received(std::string_view request) const {
    const auto all = Requests();
    return std::find(all.begin(), all.end(), request) != all.end();
  }
  // Requests that begin with `prefix`.
  int CountRequests(std::string_view prefix) const {
    int n = 0;
    for (const std::string& r : Requests()) n += r.rfind(prefix, 0) == 0 ? 1 : 0;
    return n;
  }

  void Stop() {
    if (!thread_.joinable()) return;
    stopping_ = true;
    if (wake_[1] >= 0) (void)!::write(wake_[1], "x", 1);
    if (connection_ >= 0) ::shutdown(connection_, SHUT_RDWR);
    thread_.join();
    if (connection_ >= 0) ::close(connection_);
    connection_ = -1;
  }

 private:
  void Serve() {
    std::string pending;
    char buffer[4096];
    while (!stopping_) {
      pollfd fds[2] = {{connection_, POLLIN, 0}, {wake_[0], POLLIN, 0}};
      if (::poll(fds, 2, -1) <= 0 || (fds[1].revents & POLLIN)) return;
      const ssize_t n = ::recv(connection_, buffer, sizeof buffer, 0);
      if (n <= 0) return;
      pending.append(buffer, static_cast<size_t>(n));
      for (size_t end; (end = pending.find('\n')) != std::string::npos;) {
        std::string line = pending.substr(0, end);
        pending.erase(0, end + 1);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        std::string reply;
        if (!Answer(line, reply)) {
          if (closeWhenUnscripted_) {
            ::shutdown(connection_, SHUT_RDWR);
            return;
          }
          continue;
        }
        if (!SendAll(reply)) return;
      }
    }
  }

  bool Answer(const std::string& line, std::string& reply) {
    std::lock_guard lock(mutex_);
    requests_.push_back(line);
    auto it = scripted_.find(line);
    if (it != scripted_.end() && !it->second.empty()) {
      reply = it->second.front();
      if (it->second.size() > 1) it->second.pop_front();
      return true;
    }
    if (queue_.empty()) return false;
    reply = std::move(queue_.front());
    queue_.pop_front();
    return true;
  }

  bool SendAll(std::string_view bytes) {
    while (!bytes.empty()) {
      const ssize_t n = ::send(connection_, bytes.data(), bytes.size(), MSG_NOSIGNAL);
      if (n <= 0) return false;
      bytes.remove_prefix(static_cast<size_t>(n));
    }
    return true;
  }

  mutable std::mutex mutex_;
  std::map<std::string, std::deque<std::string>> scripted_;
  std::deque<std::string> queue_;
  std::vector<std::string> requests_;
  std::atomic<bool> closeWhenUnscripted_{true};
  std::atomic<bool> stopping_{false};
  int wake_[2] = {-1, -1};
  int listen_ = -1;
  std::atomic<int> connection_{-1};
  std::thread thread_;
};

}  // namespace vertamo::testing
