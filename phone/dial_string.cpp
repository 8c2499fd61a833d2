#include "phone/dial_string.h"

#include "protocol/txtfunc.h"

namespace vertamo::phone {

namespace {

// Characters SIP allows unescaped in a user part (RFC 3261 "user"), which
// also covers '*' and '#' of a dial string.
bool UserChar(char c) {
  if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')) return true;
  switch (c) {
    case '-': case '_': case '.': case '!': case '~': case '*': case '\'': case '(': case ')':
    case '&': case '=': case '+': case '$': case ',': case ';': case '?': case '/': case '#':
      return true;
    default:
      return false;
  }
}

bool HostChar(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' || c == '.';
}

}  // namespace

std::optional<std::string> SipUriFromDialString(std::string_view dial, int defaultSipPort) {
  if (dial.substr(0, 4) == "sip:") dial.remove_prefix(4);
  std::string_view user, hostPort = dial;
  if (const size_t at = dial.rfind('@'); at != std::string_view::npos) {
    user = dial.substr(0, at);
    hostPort = dial.substr(at + 1);
    if (user.empty()) return std::nullopt;
  }
  for (char c : user)
    if (!UserChar(c)) return std::nullopt;
  std::string_view host = hostPort;
  int port = defaultSipPort;
  if (const size_t colon = hostPort.find(':'); colon != std::string_view::npos) {
    host = hostPort.substr(0, colon);
    if (!ParseWholeNumber(hostPort.substr(colon + 1), port) || port < 1 || port > 65535) return std::nullopt;
    if (port == kH323Port) port = defaultSipPort;
  }
  if (host.empty()) return std::nullopt;
  for (char c : host)
    if (!HostChar(c)) return std::nullopt;
  std::string uri = "sip:";
  uri.append(user.empty() ? std::string_view(kAnyPhoneUser) : user).append("@");
  uri.append(host).append(":").append(std::to_string(port));
  return uri;
}

TSipPeer SipPeerFromUri(std::string_view uri) {
  if (const size_t colon = uri.find(':'); colon != std::string_view::npos && uri.substr(0, colon) == "sip")
    uri.remove_prefix(colon + 1);
  if (const size_t params = uri.find_first_of(";>?"); params != std::string_view::npos) uri = uri.substr(0, params);
  TSipPeer peer;
  std::string_view hostPort = uri;
  if (const size_t at = uri.rfind('@'); at != std::string_view::npos) {
    peer.user = std::string(uri.substr(0, at));
    hostPort = uri.substr(at + 1);
  }
  peer.host = std::string(hostPort.substr(0, hostPort.find(':')));
  return peer;
}

}  // namespace vertamo::phone
