// Where the phone's SIP listens. baresip 1.0.0 listens on one IPv4 address
// only: its "0.0.0.0" means the default route's address, never every one,
// and net_interface names a single interface. So the phone picks the one
// address itself, checks the port on exactly that address (a port taken on
// another address, 127.0.0.1 say, is no reason to move), and tells the
// dispatcher which addresses calls cannot reach and when the port differs.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "platform/local_addresses.h"

namespace vertamo::phone {

// The addresses SIP could serve, best first. `named` (from the settings) in
// their order; none named: every running address of the machine other than
// loopback, the default route's first, or loopback when there is nothing
// else (a machine without a network still calls itself).
std::vector<std::string> SipCandidates(const std::vector<std::string>& named, const std::vector<TLocalAddress>& local,
                                       const std::string& defaultInterface);

struct TSipPlace {
  std::string address;  // empty: nowhere (see `error`)
  int port = 0;
  // For the dispatcher (UTF-8), one sentence each: the port differs from the
  // settings', addresses calls to which are lost.
  std::vector<std::string> notices;
  std::string error;  // why SIP cannot listen anywhere (for the log)
};

struct TSipPorts {
  // Whether SIP can listen on address:port (UDP, TCP, TLS on the next).
  std::function<bool(const std::string& address, int port)> free;
  // Why SIP cannot listen on an address at all (not IPv4, not this
  // machine's); empty when it can.
  std::function<std::string(const std::string& address)> problem;
  // Some port that is free on the address now; 0 when none is found.
  std::function<int(const std::string& address)> anyFree;
};

// The first candidate where `wantedPort` is free; when it is free on none,
// the first usable candidate on another port.
TSipPlace ChooseSipPlace(const std::vector<std::string>& candidates, int wantedPort, const TSipPorts& ports);

}  // namespace vertamo::phone
