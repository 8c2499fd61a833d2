// A SIP peer written by hand on a UDP port of one address (127.0.0.1 unless
// told): it sends what no well-behaved phone would (a display name in code
// page 1251) and answers as a far end that rings and never picks up. Left
// alone it is a port where nothing answers, held so that no phone of a test
// running alongside takes it. Only what the phone tests need.
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <optional>
#include <string>
#include <utility>

namespace vertamo::testing {

class RawSipPeer {
 public:
  // On `port` of `address`; 0: a free port.
  explicit RawSipPeer(std::string address = "127.0.0.1", int port = 0) : address_(std::move(address)) {
    sockaddr_in sa = At(port);
    socklen_t length = sizeof sa;
    if (::bind(fd_, reinterpret_cast<sockaddr*>(&sa), sizeof sa) == 0 &&
        ::getsockname(fd_, reinterpret_cast<sockaddr*>(&sa), &length) == 0)
      port_ = ntohs(sa.sin_port);
  }
  ~RawSipPeer() { ::close(fd_); }
  RawSipPeer(const RawSipPeer&) = delete;
  RawSipPeer& operator=(const RawSipPeer&) = delete;

  int Port() const { return port_; }

  // An INVITE to `user` at `toPort` of the peer's address from
  // `displayName` (bytes as they go on the wire); `callId` tells the calls
  // apart.
  void Invite(int toPort, const std::string& user, const std::string& displayName, const std::string& callId) {
    const std::string me = address_ + ":" + std::to_string(port_);
    const std::string sdp =
        "v=0\r\no=- 1 1 IN IP4 " + address_ + "\r\ns=-\r\nc=IN IP4 " + address_ + "\r\nt=0 0\r\n" +
        "m=audio " + std::to_string(port_ + 2) + " RTP/AVP 0\r\na=rtpmap:0 PCMU/8000\r\n";
    SendTo(toPort, "INVITE sip:" + user + "@" + address_ + ":" + std::to_string(toPort) + " SIP/2.0\r\n" +
                       "Via: SIP/2.0/UDP " + me + ";branch=z9hG4bK" + callId + ";rport\r\n" +
                       "Max-Forwards: 70\r\n" + "From: \"" + displayName + "\" <sip:lift@" + me + ">;tag=t" +
                       callId + "\r\n" + "To: <sip:" + user + "@" + address_ + ">\r\n" + "Call-ID: " + callId +
                       "\r\nCSeq: 1 INVITE\r\nContact: <sip:lift@" + me +
                       ">\r\nContent-Type: application/sdp\r\nContent-Length: " + std::to_string(sdp.size()) +
                       "\r\n\r\n" + sdp);
  }

  // The next message within `ms`; `from` gets the sender's port.
  std::optional<std::string> Receive(int ms, int* from = nullptr) {
    pollfd p{fd_, POLLIN, 0};
    if (::poll(&p, 1, ms) <= 0) return std::nullopt;
    char buffer[8192];
    sockaddr_in sa{};
    socklen_t length = sizeof sa;
    const ssize_t n = ::recvfrom(fd_, buffer, sizeof buffer, 0, reinterpret_cast<sockaddr*>(&sa), &length);
    if (n <= 0) return std::nullopt;
    if (from) *from = ntohs(sa.sin_port);
    return std::string(buffer, static_cast<size_t>(n));
  }

  // The next request or response whose first line starts with `start`,
  // within `ms` in all.
  std::optional<std::string> Await(const std::string& start, int ms, int* from = nullptr) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    for (;;) {
      const auto left =
          std::chrono::duration_cast<std::chrono::milliseconds>(until - std::chrono::steady_clock::now()).count();
      if (left <= 0) return std::nullopt;
      auto message = Receive(static_cast<int>(left), from);
      if (message && message->rfind(start, 0) == 0) return message;
    }
  }

  // A response to `request` (its Via, From, To, Call-ID and CSeq copied; the
  // To gets a tag).
  void Respond(int toPort, const std::string& request, const std::string& status) {
    std::string out = "SIP/2.0 " + status + "\r\n";
    for (const char* name : {"Via:", "From:", "To:", "Call-ID:", "CSeq:"}) {
      std::string line = Header(request, name);
      if (std::string(name) == "To:" && line.find(";tag=") == std::string::npos) line += ";tag=ring";
      out += line + "\r\n";
    }
    out += "Contact: <sip:lift@" + address_ + ":" + std::to_string(port_) + ">\r\nContent-Length: 0\r\n\r\n";
    SendTo(toPort, out);
  }

  // The whole header line `name` ("To:") of `message`, empty when none.
  static std::string Header(const std::string& message, const std::string& name) {
    for (size_t at = message.find("\r\n"); at != std::string::npos; at = message.find("\r\n", at + 2)) {
      if (message.compare(at + 2, name.size(), name) != 0) continue;
      return message.substr(at + 2, message.find("\r\n", at + 2) - at - 2);
    }
    return {};
  }

  // To `port` of the peer's address.
  void SendTo(int port, const std::string& bytes) {
    sockaddr_in sa = At(port);
    (void)!::sendto(fd_, bytes.data(), bytes.size(), 0, reinterpret_cast<sockaddr*>(&sa), sizeof sa);
  }

 private:
  sockaddr_in At(int port) const {
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_port = htons(static_cast<uint16_t>(port));
    ::inet_pton(AF_INET, address_.c_str(), &sa.sin_addr);
    return sa;
  }

  std::string address_;
  int fd_ = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  int port_ = 0;
};

}  // namespace vertamo::testing
