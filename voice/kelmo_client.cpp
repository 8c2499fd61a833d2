#include "voice/kelmo_client.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>

#include "platform/stop_signal.h"
#include "protocol/txtfunc.h"

namespace vertamo {
namespace {

constexpr size_t kSettingsScan = 33;
constexpr char kQuit[] = "quit\r\n";

// The integer at the start of `text`, as a reply's level is read.
int LeadingInt(std::string_view text) {
  int value = 0;
  GetIntParam(text, {}, value);
  return value;
}

}  // namespace

void SettingsFromText(std::string_view text, SwitchSettings& settings) {
  text = text.substr(0, std::min({text.size(), kSettingsScan, text.find('\0')}));
  settings.Threshold = LeadingInt(text);
  size_t at = 0;
  for (int32_t* field : {&settings.Signal, &settings.Silence}) {
    while (at < text.size() && text[at] != ' ') ++at;
    while (at < text.size() && text[at] == ' ') ++at;
    if (at >= text.size()) return;
    *field = LeadingInt(text.substr(at));
  }
}

std::string SettingsToText(const SwitchSettings& settings) {
  char text[48];
  std::snprintf(text, sizeof text, "%d %d %d", settings.Threshold, settings.Signal, settings.Silence);
  return text;
}

int LineModeFromReply(std::string_view reply) {
  const std::string_view code = reply.substr(0, 3);
  if (code == "240") return TKelmoClient::kModeIdle;
  if (code == "241") return TKelmoClient::kModeTalk;
  if (code == "242") return TKelmoClient::kModeListen;
  return TKelmoClient::kModeUnknown;
}

int LevelFromReply(std::string_view reply) { return reply.size() > 3 ? LeadingInt(reply.substr(3)) : 0; }

TKelmoClient::TKelmoClient(const TStopSignal* stop) : stop_(stop) {}

TKelmoClient::~TKelmoClient() { Close(); }

bool TKelmoClient::Open(std::string_view host, int port, int connectMs) {
  ready_ = false;
  bool connected;
  if (connectMs < 0)
    connected = connection_.Connect(host, port);
  else
    connected = connection_.ConnectAsync(host, port) && connection_.WaitConnected(connectMs, stop_);
  if (!connected) {
    connection_.Close();
    return false;
  }
  return AwaitGreeting();
}

bool TKelmoClient::OpenAdopted(int socketFd) {
  ready_ = false;
  connection_.Adopt(socketFd);
  return AwaitGreeting();
}

bool TKelmoClient::AwaitGreeting() {
  ready_ = ReadReply(kReplyWaitMs) && ReplyCode("220");
  return ready_;
}

void TKelmoClient::Close() {
  if (connection_.Connected()) connection_.Send(kQuit, sizeof kQuit - 1);
  connection_.Close();
}

std::string_view TKelmoClient::Buffer() const { return std::string_view(buffer_); }

bool TKelmoClient::ReplyCode(std::string_view code) const { return std::string_view(buffer_).substr(0, 3) == code; }

bool TKelmoClient::ReadReply(int milliseconds) {
  std::memset(buffer_, 0, sizeof buffer_);
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
  size_t kept = 0;
  for (bool first = true;; first = false) {
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    // A gateway that keeps sending without ending its line is cut off too.
    if (!first && left.count() <= 0) return false;
    if (!connection_.WaitSocket(true, false, false, static_cast<int>(std::max<int64_t>(0, left.count())), stop_))
      return false;
    const size_t waiting = connection_.Available();
    if (waiting == 0) return false;  // readable with nothing waiting: the peer has closed
    for (size_t i = 0; i < waiting; ++i) {
      char byte;
      if (!connection_.Receive(&byte, 1)) return false;
      // Bytes of an over-long line beyond the buffer are dropped.
      if (kept < kBufferSize) buffer_[kept++] = byte;
      if (byte == '\n') return true;
    }
  }
}

bool TKelmoClient::Waiting() { return connection_.Connected() && connection_.Available() > 0; }

bool TKelmoClient::Transact(int milliseconds) {
  if (!connection_.Send(buffer_, std::strlen(buffer_))) {
    connection_.Close();
    ready_ = false;
    return false;
  }
  return ReadReply(milliseconds);
}

bool TKelmoClient::Command(std::string_view text) {
  std::memset(buffer_, 0, sizeof buffer_);
  std::memcpy(buffer_, text.data(), std::min(text.size(), kBufferSize));
  answered_ = Transact(kReplyWaitMs);
  return answered_;
}

bool TKelmoClient::GetSwitchSettings(std::string& text) {
  text.clear();
  answered_ = false;
  if (!ready_ || !Command("getsdp\r\n") || !ReplyCode("200")) return false;
  text.assign(std::string_view(buffer_ + 4).substr(0, kSettingsTextMax));
  return true;
}

bool TKelmoClient::GetLineState(int line, int& mode, int& level) {
  mode = kModeUnknown;
  level = 0;
  answered_ = false;
  if (!ready_ || !Command("getad " + std::to_string(line) + "\r\n")) return false;
  mode = LineModeFromReply(Buffer());
  level = LevelFromReply(Buffer());
  return true;
}

bool TKelmoClient::SetDirection(int line, bool talk) {
  answered_ = false;
  return ready_ && Command((talk ? "setatx " : "setarx ") + std::to_string(line) + "\r\n") && ReplyCode("200");
}

}  // namespace vertamo
