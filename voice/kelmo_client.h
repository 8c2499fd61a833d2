// TKelmoClient: the command port of the Kelmo voice gateway (TCP 4000).
//
// One connection at a time (the gateway worker opens a new one when the link
// is lost). After the connect the gateway greets with a line of code "220";
// then each command is one ASCII line ending in CR LF and is answered by one
// line whose first three characters are a decimal code:
//
//   "getsdp"      200 and the switching settings ("200 20 300 1500")
//   "getad N"     240 / 241 / 242 and the line's level (mode 0 / 1 / 2)
//   "setatx N"    200: line N passes the dispatcher's voice to the lift
//   "setarx N"    200: line N passes the lift's voice to the dispatcher
//   "quit"        no reply; sent when the client closes
//
// A reply is one line: the bytes up to and including its line feed, however
// many segments carry them, within the reply's wait. At most 256 of them are
// kept; the rest of an over-long line is read and dropped, so that it can
// never pass for the reply to a later command.
//
// Used from one thread at a time (the gateway worker of a conversation). A
// stop signal, when given, ends every wait at once; the command that waited
// then fails.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/tcp_client.h"

namespace vertamo {

class TStopSignal;

// The gateway's voice-switching settings as "getsdp" reports them.
struct SwitchSettings {
  int32_t Threshold = 0;  // the window compares its low byte with the 8-bit level
  int32_t Signal = 0;     // shown only
  int32_t Silence = 0;    // shown only
};

// Three decimal integers separated by runs of blanks. The first is taken from
// the start of the text (no digits give 0); each further one after the next
// blank and the run of blanks behind it. The scan ends at the end of the text
// (or a zero byte) and never looks past its 33rd character: a field not found
// within that keeps its previous value, and so do the fields after it.
void SettingsFromText(std::string_view text, SwitchSettings& settings);
// "%d %d %d".
std::string SettingsToText(const SwitchSettings& settings);

class TKelmoClient {
 public:
  static constexpr int kDefaultPort = 4000;
  static constexpr int kReplyWaitMs = 2000;
  static constexpr int kConnectWaitMs = 2000;
  static constexpr size_t kBufferSize = 256;
  static constexpr size_t kSettingsTextMax = 31;

  // Modes of "getad".
  enum : int { kModeIdle = 0, kModeTalk = 1, kModeListen = 2, kModeUnknown = 3 };

  // `stop` (may be empty) outlives the client.
  explicit TKelmoClient(const TStopSignal* stop = nullptr);
  // Close().
  ~TKelmoClient();
  TKelmoClient(const TKelmoClient&) = delete;
  TKelmoClient& operator=(const TKelmoClient&) = delete;

  // Connects and waits up to 2000 ms for the greeting. The connect waits at
  // most `connectMs` (negative: as long as the system's connect attempt
  // lasts). Ready() tells the outcome; nothing else is tried on failure.
  bool Open(std::string_view host, int port = kDefaultPort, int connectMs = kConnectWaitMs);
  // The same over a socket that is already connected (tests, fuzzing).
  bool OpenAdopted(int socketFd);
  // Sends "quit" when connected, then half-closes and closes the socket.
  void Close();

  // True once "220" arrived, until a send fails. Never becomes true again.
  bool Ready() const { return ready_; }
  // Whether the last command was sent and its reply line arrived in time
  // (whatever its code). False after a time-out or when the peer closed.
  bool Answered() const { return answered_; }
  // Whether bytes the gateway sent are waiting unread. Between commands
  // nothing should be: the gateway speaks once, when asked.
  bool Waiting();

  // "getsdp": true on "200"; `text` gets the reply from its fifth character
  // on, at most 31 characters (a trailing CR LF stays when it fits).
  bool GetSwitchSettings(std::string& text);
  // "getad N": true when any reply arrived. Mode by the code (3 for any
  // other), level the integer after the code. On failure mode 3, level 0.
  bool GetLineState(int line, int& mode, int& level);
  // "setatx N" (talk) or "setarx N" (listen): true on "200".
  bool SetDirection(int line, bool talk);

  // Sends the command in the buffer and reads its reply. A failed send
  // closes the socket and the client is not ready from then on.
  bool Transact(int milliseconds);
  // Reads one reply line into the buffer, as described above; false when it
  // did not end within `milliseconds` or the peer closed.
  bool ReadReply(int milliseconds);
  // The buffer: the last command or reply, up to its first zero byte.
  std::string_view Buffer() const;
  const TTCPClient& Connection() const { return connection_; }

 private:
  bool Command(std::string_view text);
  bool AwaitGreeting();
  bool ReplyCode(std::string_view code) const;

  const TStopSignal* stop_;
  TTCPClient connection_;
  bool ready_ = false;
  bool answered_ = false;
  char buffer_[kBufferSize + 1] = {};
};

// The mode a "getad" reply's code stands for.
int LineModeFromReply(std::string_view reply);
// The decimal integer after a reply's three-character code: leading white
// space, an optional sign, digits; no digits give 0.
int LevelFromReply(std::string_view reply);

}  // namespace vertamo
