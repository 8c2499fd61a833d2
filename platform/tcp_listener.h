// A listening IPv4 TCP socket, as the simulators open their ports.
#pragma once

#include <cstdint>
#include <string>

namespace vertamo {

struct TTcpListener {
  enum class TFailedAt { None, Address, Socket, Bind, Listen };
  int fd = -1;             // close-on-exec; -1 on failure
  std::uint16_t port = 0;  // the port it got (the free one picked for 0)
  TFailedAt failedAt = TFailedAt::None;
  int error = 0;  // errno of the failed call
};

// Listens on `bind` (a dotted IPv4 address) and `port`; 0 picks a free port.
// The address may be taken again at once after an earlier listener closed.
TTcpListener ListenTcp(const std::string& bind, std::uint16_t port, int backlog);

// Why a listener could not be opened, in one line: "not an IPv4 address: X",
// "socket: ...", "ADDR:PORT: ...", "listen: ..."; empty when it was.
std::string ListenFailure(const TTcpListener& listener, const std::string& bind, std::uint16_t port);

}  // namespace vertamo
