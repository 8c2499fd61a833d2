// What baresip's ctrl_tcp module says: netstrings ("LENGTH:JSON,") holding
// one JSON object each, either the response to a command or an event of a
// call. Both come from the engine we start, but a broken or foreign peer on
// its port must never crash the phone: anything that does not parse is an
// invalid message, never an exception.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace vertamo::phone {

// Splits the byte stream of the ctrl_tcp link into netstrings.
class TNetstringReader {
 public:
  // A netstring longer than this is a broken stream (ctrl_tcp's are < 2 KiB).
  static constexpr size_t kMaxPayload = 64 * 1024;

  void Feed(std::string_view bytes);
  // The payload of the oldest complete netstring; false when none is
  // complete. After a framing error the reader stays broken (Broken()).
  bool Next(std::string& payload);
  bool Broken() const { return broken_; }

 private:
  std::string buffer_;
  bool broken_ = false;
};

// The netstring of one command: {"command":..,"params":..,"token":..}.
std::string EncodeBaresipCommand(std::string_view command, std::string_view params, std::string_view token);

struct TBaresipMessage {
  enum class TKind { Invalid, Response, Event };
  TKind kind = TKind::Invalid;
  // Response
  bool ok = false;
  std::string data;
  std::string token;
  // Event
  std::string type;         // CALL_INCOMING, CALL_ESTABLISHED, CALL_CLOSED, CALL_RTCP...
  std::string param;        // CALL_CLOSED: the SIP reason ("486 Busy Here")
  std::string direction;    // "incoming" / "outgoing"
  std::string peerUri;      // "sip:user@host:port"
  std::string peerName;     // the display name, when the peer sent one
  std::string callId;
  std::string accountAor;   // the account (user agent) the call belongs to
  // CALL_RTCP, the receiving side: jitter and round trip in microseconds.
  bool hasRtcp = false;
  long long rxJitterUs = 0, rxLost = 0, rxPackets = 0, rttUs = 0;
};

TBaresipMessage ParseBaresipMessage(std::string_view json);

}  // namespace vertamo::phone
