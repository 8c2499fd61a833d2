// The server's reply to "MOUSEDOWN OBJ=" on arbitrary bytes: the first byte
// picks the dispatcher's choice and the server's own address, the rest is
// the reply. Whatever the reply, a call dials a well-formed address, and no
// call without a reason unless the dispatcher cancelled.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "protocol/param_tokens.h"
#include "voice/map_call.h"

using namespace vertamo;

namespace {

void Check(bool condition) {
  if (!condition) __builtin_trap();
}

bool Printable(std::string_view text) {
  for (char c : text)
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) return false;
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const uint8_t mix = data[0];
  const std::string_view reply(reinterpret_cast<const char*>(data + 1), size - 1);

  const TParamTokens tokens(reply);
  std::string text;
  if (tokens.Text("PULTEXT", 16, text) == TParamRead::Found) Check(text.size() <= 15 && text.find('"') == text.npos);
  int number = 0;
  if (tokens.Int("H323", number) != TParamRead::Found) Check(number == 0);

  const TCallUnit pick = static_cast<TCallUnit>(mix % 3);
  const TMapCallObject object{3, "L", (mix & 4) ? "srv.example" : "10.0.0.1"};
  const TMapCallResult r =
      MapCallFromReply(reply, object, [&](const std::string&, const std::string&) { return pick; });
  if (!r.call) {
    Check(r.cancelled != !r.reason.empty());
    return 0;
  }
  const TMapCall& call = *r.call;
  Check(r.reason.empty() && !r.cancelled);
  Check(call.command.size() <= kMapCallTextMax && call.title.size() <= kMapCallTextMax);
  Check(call.command.starts_with("c ") && Printable(call.title) && Printable(call.command));
  // One '@', nothing but the host and the port after it.
  const size_t at = call.command.find('@');
  Check(at != std::string::npos && call.command.find('@', at + 1) == std::string::npos);
  Check(call.command.find(' ', 2) == std::string::npos);
  Check(call.port >= 0 && call.port <= 65535 && call.gatewayLine >= 0);
  Check(!call.gatewayHost.empty() && call.gatewayHost != "localhost" && call.gatewayHost != "127.0.0.1");
  return 0;
}
