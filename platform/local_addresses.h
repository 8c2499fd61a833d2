// The IPv4 addresses of this machine's network interfaces, and the interface
// the default route leaves by: what a program that listens on one address
// needs to pick it the way the system would.
#pragma once

#include <string>
#include <vector>

namespace vertamo {

struct TLocalAddress {
  std::string address;    // dotted IPv4
  std::string interface;  // its interface's name
  bool loopback = false;
  bool running = false;   // up, with a carrier: something can reach it
};

// Every IPv4 address of an interface that is up, in the system's order.
std::vector<TLocalAddress> LocalIpv4Addresses();

// The interface of the IPv4 default route with the lowest metric (from
// /proc/net/route); empty when there is none.
std::string DefaultRouteInterface();

}  // namespace vertamo
