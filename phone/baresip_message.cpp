#include "phone/baresip_message.h"

#include <nlohmann/json.hpp>

#include "platform/cp1251.h"

namespace vertamo::phone {

namespace {

using json = nlohmann::json;

std::string Text(const json& object, const char* key) {
  const auto it = object.find(key);
  return it != object.end() && it->is_string() ? it->get<std::string>() : std::string();
}

long long Number(const json& object, const char* key) {
  const auto it = object.find(key);
  return it != object.end() && it->is_number_integer() ? it->get<long long>() : 0;
}

// ctrl_tcp marks an event with "event": true, but its documentation shows
// the string "true"; either counts.
bool Flag(const json& object, const char* key) {
  const auto it = object.find(key);
  if (it == object.end()) return false;
  if (it->is_boolean()) return it->get<bool>();
  return it->is_string() && it->get<std::string>() == "true";
}

// baresip passes on what the far end sent: a display name in code page 1251
// (what gateways here send) is not UTF-8, and a JSON parser refuses the whole
// event for it. Each run of bytes above ASCII that is not UTF-8 is taken as
// code page 1251; bytes that page leaves undefined become "?".
std::string RepairedUtf8(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  size_t i = 0;
  while (i < text.size()) {
    if (static_cast<unsigned char>(text[i]) < 0x80) {
      out += text[i++];
      continue;
    }
    size_t end = i;
    while (end < text.size() && static_cast<unsigned char>(text[end]) >= 0x80) ++end;
    const std::string_view run = text.substr(i, end - i);
    if (IsUtf8(run)) {
      out += run;
    } else {
      for (const char c : run) out += c == '\x98' ? std::string("?") : Cp1251ToUtf8(std::string_view(&c, 1));
    }
    i = end;
  }
  return out;
}

}  // namespace

void TNetstringReader::Feed(std::string_view bytes) {
  if (!broken_) buffer_.append(bytes);
}

bool TNetstringReader::Next(std::string& payload) {
  if (broken_) return false;
  size_t length = 0, at = 0;
  for (; at < buffer_.size() && buffer_[at] != ':'; ++at) {
    const char c = buffer_[at];
    if (c < '0' || c > '9' || at >= 6) {
      broken_ = true;
      buffer_.clear();
      return false;
    }
    length = length * 10 + static_cast<size_t>(c - '0');
  }
  if (at == buffer_.size()) return false;  // the length is not complete yet
  if (at == 0 || length > kMaxPayload) {
    broken_ = true;
    buffer_.clear();
    return false;
  }
  if (buffer_.size() < at + 1 + length + 1) return false;
  if (buffer_[at + 1 + length] != ',') {
    broken_ = true;
    buffer_.clear();
    return false;
  }
  payload.assign(buffer_, at + 1, length);
  buffer_.erase(0, at + 1 + length + 1);
  return true;
}

std::string EncodeBaresipCommand(std::string_view command, std::string_view params, std::string_view token) {
  json object = {{"command", std::string(command)}};
  if (!params.empty()) object["params"] = std::string(params);
  if (!token.empty()) object["token"] = std::string(token);
  // Texts that are not UTF-8 become U+FFFD rather than an exception.
  const std::string text = object.dump(-1, ' ', false, json::error_handler_t::replace);
  return std::to_string(text.size()) + ":" + text + ",";
}

TBaresipMessage ParseBaresipMessage(std::string_view text) {
  TBaresipMessage message;
  const std::string repaired = IsUtf8(text) ? std::string() : RepairedUtf8(text);
  const std::string_view source = repaired.empty() ? text : std::string_view(repaired);
  const json object = json::parse(source.begin(), source.end(), nullptr, false);
  if (object.is_discarded() || !object.is_object()) {
    message.data = std::string(source.substr(0, 200));
    return message;
  }
  if (Flag(object, "response")) {
    message.kind = TBaresipMessage::TKind::Response;
    message.ok = Flag(object, "ok");
    message.data = Text(object, "data");
    message.token = Text(object, "token");
    return message;
  }
  if (!Flag(object, "event")) return message;
  message.kind = TBaresipMessage::TKind::Event;
  message.type = Text(object, "type");
  message.param = Text(object, "param");
  message.direction = Text(object, "direction");
  message.peerUri = Text(object, "peeruri");
  message.peerName = Text(object, "peerdisplayname");
  message.callId = Text(object, "id");
  message.accountAor = Text(object, "accountaor");
  const auto stats = object.find("rtcp_stats");
  if (stats != object.end() && stats->is_object()) {
    message.hasRtcp = true;
    message.rttUs = Number(*stats, "rtt");
    const auto rx = stats->find("rx");
    if (rx != stats->end() && rx->is_object()) {
      message.rxJitterUs = Number(*rx, "jit");
      message.rxLost = Number(*rx, "lost");
      message.rxPackets = Number(*rx, "sent");
    }
  }
  return message;
}

}  // namespace vertamo::phone
