// Why the connection to the dispatch server is down, in words a dispatcher
// understands, and the event that tells the main window so.
//
// The connection thread classifies every failed cycle: the socket's own
// answer (refused, no route, time-out, a name that does not resolve), the way
// a read ended (the server closed, nothing came), or what the server said
// ("Wrong login", RELOAD, a reply the client does not understand).
#pragma once

#include <chrono>
#include <string>

namespace vertamo {

class TLineChannel;

enum class TLinkFault {
  Refused,       // the server's machine answered that nothing listens on the port
  NoAnswer,      // no answer in time, to the connect or to a request
  UnknownHost,   // the server's name does not resolve
  Unreachable,   // no route to the server's machine
  BadAddress,    // the address or port of the settings cannot be used
  WrongLogin,    // the server refused the login and password
  ServerClosed,  // the server closed or dropped the connection
  BadReply,      // the server answered something the client does not understand
  Reload,        // the server asked for everything to be loaded again
  Failure,       // any other socket failure (the Winsock number tells which)
};

// The fault a Winsock number of a failed name look-up, connect, send or
// receive stands for (0, a connection that ended cleanly: ServerClosed).
TLinkFault LinkFaultOfError(int winsockError);

// Why the last exchange on the channel failed: how its last read ended, or,
// when every read brought data, that the answer made no sense. Not for a read
// a stop request ended.
TLinkFault LinkFaultOfChannel(const TLineChannel& channel);

// The fault in a few words, code page 1251, lower case: "соединение
// отклонено". Failure names the Winsock number `error`.
std::string LinkFaultText(TLinkFault fault, int error = 0);

// The connection is down (or never came up) and why: handed to the main window
// after every failed cycle.
struct TLinkDown {
  TLinkFault fault = TLinkFault::Failure;
  int error = 0;       // the Winsock number behind it; 0 when none
  std::string server;  // the profile's name, code page 1251
  std::string host;    // the profile's address, code page 1251
  int port = 0;
  // Since when there is no link: the first failure after the last login (or
  // after the start of the thread).
  std::chrono::system_clock::time_point since;
};

}  // namespace vertamo
