// What baresip's ctrl_tcp link says, on arbitrary bytes: the stream split
// into netstrings, each payload parsed as a response or an event, and the
// outcome of a closed call derived from whatever reason it carries.
#include <cstddef>
#include <cstdint>
#include <string>

#include "phone/baresip_message.h"
#include "phone/call_outcome.h"
#include "phone/dial_string.h"

namespace {

void Check(bool condition) {
  if (!condition) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace vertamo::phone;
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  TNetstringReader reader;
  // In two pieces, as a socket may deliver them.
  reader.Feed(bytes.substr(0, size / 2));
  reader.Feed(bytes.substr(size / 2));
  for (std::string payload; reader.Next(payload);) {
    Check(payload.size() <= TNetstringReader::kMaxPayload);
    const TBaresipMessage m = ParseBaresipMessage(payload);
    const std::string line = ClosedCallLine(m.param, TCallHistory{});
    Check(line == "BUSY" || line.rfind("ERROR ", 0) == 0);
    const TSipPeer peer = SipPeerFromUri(m.peerUri);
    Check(peer.host.size() <= m.peerUri.size());
  }
  // The same bytes as a whole payload, and as a dial string.
  ParseBaresipMessage(bytes);
  if (const auto uri = SipUriFromDialString(bytes, 5060)) Check(uri->rfind("sip:", 0) == 0);
  return 0;
}
