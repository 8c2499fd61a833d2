// The address the workstation dials, as a SIP URI.
//
// A map call reads "line*address*unit@host[:port]", a call from the address
// book the stored address: "alias@host[:port]" or a bare host, which calls
// the user kAnyPhoneUser there. The user part
// travels as it stands (a SIP gateway routes the line, address and unit from
// it); port 1720, the H.323 port the workstation may still carry, or no port
// means the SIP port of the settings.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace vertamo::phone {

inline constexpr int kH323Port = 1720;
// The SIP user a dial string without one calls, and which every vertamo-phone
// answers to besides its own: "10.0.0.5" dials sip:vertamo@10.0.0.5:5060.
inline constexpr const char* kAnyPhoneUser = "vertamo";

// "sip:user@host:port", or nothing when the string cannot be dialled (empty,
// blanks or characters a SIP URI cannot carry, an empty host, a port that is
// not 1 ... 65535).
std::optional<std::string> SipUriFromDialString(std::string_view dial, int defaultSipPort);

// The parts of a peer's URI "sip:user@host:port;params" that the ring line
// shows: the user (empty when none) and the host.
struct TSipPeer {
  std::string user;
  std::string host;
};
TSipPeer SipPeerFromUri(std::string_view uri);

}  // namespace vertamo::phone
