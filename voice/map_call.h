// TMapCall: what a click on a lift hands to the voice window. The map tells
// the window whom to call (the dial string and the title) and which gateway
// line carries the conversation; the window places the call and, when the
// conversation ends, tells the server with "ENDSPEAK".
//
// MapCallFromReply makes it from the server's reply to "MOUSEDOWN OBJ=i".
// The caller has already matched the reply's " OBJ=" and " TYPE=" to the
// clicked object and knows the telephony link is up; everything after that
// is decided here. Texts are code page 1251.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace vertamo {

struct TMapCall {
  std::string command;      // "c LINE*ADR*UNIT@HOST[:PORT]", at most 127 characters
  std::string title;        // the object's name and the unit called, at most 127 characters
  std::string gatewayHost;  // the voice gateway of the lift
  int gatewayLine = 0;      // the gateway line (COM)
  std::uint8_t adr = 0;     // low byte of the unit address (0 for ADR=256 too)
  int port = 0;             // the gateway's H.323 port; 0: none given
  int unit = 0;             // the intercom unit called (cabin or machine room)
  int object = 0;           // the object's position in the map's object list
};

// The dial string and the title hold at most this many characters.
inline constexpr std::size_t kMapCallTextMax = 127;

// What the dispatcher picks when both the cabin and the machine room answer.
enum class TCallUnit { Cabin, MachineRoom, Cancelled };

// Asked only when the reply offers both units; gets the texts of the cabin
// and the machine-room buttons.
using TChooseCallUnit = std::function<TCallUnit(const std::string& cabinText, const std::string& roomText)>;

// The clicked object as the map knows it.
struct TMapCallObject {
  int object = 0;          // its position in the object list
  std::string name;        // its Name
  std::string serverHost;  // Ip of the active server profile: stands in for a gateway on "localhost"
  std::string hint;        // its Hint, lines apart ("$" or line breaks): where it is
  // The unit (PU) chosen before: a call again from the history takes it
  // without asking while the reply offers it. -1: none.
  int unit = -1;
};

// What a call is called wherever it shows (the voice window, the history):
// the object's name and the unit with its place, "Лифт 2 (Кабина лифта 2,
// ул. Лесная, 12)". A unit text that names no place (no comma: the object's
// name again, "Кабина") takes the place from the object's hint: the line
// after the one that names the object, else its second line ("ПУ машинного
// помещения, ул. Лесная, 12, машинное помещение"). Code page 1251.
std::string MapCallTitle(const std::string& name, const std::string& unitText, const std::string& hint);

struct TMapCallResult {
  std::optional<TMapCall> call;
  bool cancelled = false;  // the dispatcher cancelled the choice: nothing further happens
  std::string reason;      // why there is no call, for the telephony log; empty when cancelled
};

// The default texts of the two units ("Начать разговор с ...").
std::string CabinCallText();
std::string RoomCallText();

// The call a "MOUSEDOWN OBJ=" reply asks for. The reply is read as KEY=VALUE
// tokens (quoted text is one value, so keys inside it are never found). No
// call, and a reason, without KelmoGW, H323, COM and ADR; with a quote left
// open, a malformed value, a port beyond 0 … 65535 (0: none), a negative line
// or address, a gateway that is neither a host name nor a dotted IPv4
// address, or a dial string beyond 127 characters. No call and no reason
// when the dispatcher cancels the choice.
TMapCallResult MapCallFromReply(std::string_view reply, const TMapCallObject& object,
                                const TChooseCallUnit& choose);

}  // namespace vertamo
