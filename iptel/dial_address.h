// Whether the phone program can dial an address of the address book: it goes
// out as "c " followed by the address on one command line, and names a host
// (an IPv4 address or a host name), optionally after a number and "@" and
// with ":" and a port after it.
#pragma once

#include <string>
#include <string_view>

namespace vertamo {

// Empty when `address` (code page 1251) can be dialled; otherwise why not, a
// sentence for the dispatcher in code page 1251.
std::string DialAddressProblem(std::string_view address);

}  // namespace vertamo
