// A client of a few lines of the tests' own, over a raw loopback socket: it
// shares no code with the workstation's line channel.
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/cp1251.h"

namespace simtest {

class RawClient {
 public:
  RawClient() = default;
  ~RawClient() { Close(); }
  RawClient(const RawClient&) = delete;
  RawClient& operator=(const RawClient&) = delete;

  bool Connect(uint16_t port) {
    fd_ = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_port = htons(port);
    sa.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return fd_ >= 0 && ::connect(fd_, reinterpret_cast<sockaddr*>(&sa), sizeof sa) == 0;
  }

  void Close() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
  }

  // Sends the line (UTF-8 in the test, code page 1251 on the wire) with CR LF.
  bool Send(const std::string& utf8) {
    std::string line = vertamo::Utf8ToCp1251(utf8) + "\r\n";
    return ::send(fd_, line.data(), line.size(), MSG_NOSIGNAL) == static_cast<ssize_t>(line.size());
  }

  // Next raw byte; nullopt on time-out or close.
  std::optional<char> Byte(int timeoutMs = 5000) {
    if (pos_ == buffer_.size()) {
      buffer_.clear();
      pos_ = 0;
      pollfd p{fd_, POLLIN, 0};
      if (::poll(&p, 1, timeoutMs) <= 0) return std::nullopt;
      char chunk[65536];
      ssize_t n = ::recv(fd_, chunk, sizeof chunk, 0);
      if (n <= 0) {
        closed_ = true;
        return std::nullopt;
      }
      buffer_.assign(chunk, static_cast<size_t>(n));
    }
    return buffer_[pos_++];
  }

  // Next line in code page 1251 bytes: ended by CR, every LF dropped.
  std::optional<std::string> RawLine(int timeoutMs = 5000) {
    std::string line;
    for (;;) {
      auto c = Byte(timeoutMs);
      if (!c) return std::nullopt;
      if (*c == '\n') continue;
      if (*c == '\r') return line;
      line += *c;
    }
  }

  // Next line converted to UTF-8.
  std::optional<std::string> Line(int timeoutMs = 5000) {
    auto raw = RawLine(timeoutMs);
    if (!raw) return std::nullopt;
    return vertamo::Cp1251ToUtf8(*raw);
  }

  // Exactly `n` bytes (a prompt without a line end).
  std::optional<std::string> Bytes(size_t n, int timeoutMs = 5000) {
    std::string out;
    while (out.size() < n) {
      auto c = Byte(timeoutMs);
      if (!c) return std::nullopt;
      out += *c;
    }
    return out;
  }

  // REMOTE, prompts, login, password; the verdict line.
  std::optional<std::string> Login(const std::string& login, const std::string& password) {
    if (!Send("REMOTE") || Bytes(6) != "Login:" || !Send(login) || Bytes(9) != "Password:" || !Send(password))
      return std::nullopt;
    return Line();
  }

  // Lines up to and without "END".
  std::optional<std::vector<std::string>> ListUntilEnd(int timeoutMs = 5000) {
    std::vector<std::string> lines;
    for (;;) {
      auto line = Line(timeoutMs);
      if (!line) return std::nullopt;
      if (*line == "END") return lines;
      lines.push_back(*line);
    }
  }

  std::vector<std::string> Request(const std::string& request, int count) {
    std::vector<std::string> lines;
    if (!Send(request)) return lines;
    for (int i = 0; i < count; ++i) {
      auto line = Line();
      if (!line) break;
      lines.push_back(*line);
    }
    return lines;
  }

  // True when the server closed the connection (reads end) within the time.
  bool ClosedByPeer(int timeoutMs = 5000) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (std::chrono::steady_clock::now() < deadline) {
      if (!Byte(100) && closed_) return true;
    }
    return closed_;
  }

  // Nothing arrives within the time.
  bool Silent(int timeoutMs) {
    for (;;) {
      auto c = Byte(timeoutMs);
      if (!c) return !closed_;
      if (*c != '\n') return false;
    }
  }

 private:
  int fd_ = -1;
  std::string buffer_;
  size_t pos_ = 0;
  bool closed_ = false;
};

}  // namespace simtest
