#include "platform/tcp_listener.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace vertamo {

TTcpListener ListenTcp(const std::string& bind, std::uint16_t port, int backlog) {
  TTcpListener listener;
  auto fail = [&listener](TTcpListener::TFailedAt step) {
    listener.failedAt = step;
    listener.error = errno;
    if (listener.fd >= 0) ::close(listener.fd);
    listener.fd = -1;
    return listener;
  };
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(port);
  if (::inet_pton(AF_INET, bind.c_str(), &address.sin_addr) != 1) {
    errno = EINVAL;
    return fail(TTcpListener::TFailedAt::Address);
  }
  listener.fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (listener.fd < 0) return fail(TTcpListener::TFailedAt::Socket);
  const int yes = 1;
  ::setsockopt(listener.fd, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
  if (::bind(listener.fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0)
    return fail(TTcpListener::TFailedAt::Bind);
  if (::listen(listener.fd, backlog) != 0) return fail(TTcpListener::TFailedAt::Listen);
  socklen_t length = sizeof address;
  ::getsockname(listener.fd, reinterpret_cast<sockaddr*>(&address), &length);
  listener.port = ntohs(address.sin_port);
  return listener;
}

std::string ListenFailure(const TTcpListener& listener, const std::string& bind, std::uint16_t port) {
  const std::string reason = std::strerror(listener.error);
  switch (listener.failedAt) {
    case TTcpListener::TFailedAt::None:
      return {};
    case TTcpListener::TFailedAt::Address:
      return "not an IPv4 address: " + bind;
    case TTcpListener::TFailedAt::Socket:
      return "socket: " + reason;
    case TTcpListener::TFailedAt::Bind:
      return bind + ":" + std::to_string(port) + ": " + reason;
    case TTcpListener::TFailedAt::Listen:
      return "listen: " + reason;
  }
  return {};
}

}  // namespace vertamo
