// What names a host in a dial string: a dotted IPv4 address or a host name.
// Both the map's calls and the address book's are checked with these before
// they reach the phone program.
#pragma once

#include <string_view>

namespace vertamo {

// Four numbers of at most three digits, each 0 … 255, between dots.
bool IsIpv4Address(std::string_view host);

// Dot-separated labels of Latin letters, digits and hyphens, 1 to 63 of them,
// no hyphen at either end, 253 in all, and a last label that is not all
// digits (that would be read as an address).
bool IsHostName(std::string_view host);

}  // namespace vertamo
