// TMapCall: what a click on a lift hands to the voice window. The map tells
// the window whom to call (the dial string and the title) and which gateway
// line carries the conversation; the window places the call and, when the
// conversation ends, tells the server with "ENDSPEAK".
#pragma once

#include <cstdint>
#include <string>

namespace vertamo {

struct TMapCall {
  std::string command;      // "c LINE*ADR*UNIT@HOST[:PORT]", at most 127 characters
  std::string title;        // the object's name and the unit called, at most 127 characters
  std::string gatewayHost;  // the voice gateway of the lift
  int gatewayLine = 0;      // the gateway line (COM)
  std::uint8_t adr = 0;     // low byte of the unit address; 0: no "ENDSPEAK" at the end
  int port = 0;             // the gateway's H.323 port; 0: none given
  int unit = 0;             // the intercom unit called (cabin or machine room)
  int object = 0;           // the object's position in the map's object list
};

}  // namespace vertamo
