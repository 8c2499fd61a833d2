// The marker of a call in progress: "CallPending.log" in the work folder,
// written when a call begins and again when it is answered, removed when it
// ends. A workstation that dies mid-call leaves it behind; the next run finds
// it and records the call as broken off. It holds the call's history line as
// it would read if the call broke off now, then the "ENDSPEAK" the server is
// still owed, if any. Texts are code page 1251.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "voice/call_history.h"

namespace vertamo {

// A call in progress as the marker keeps it: its history line as it would be
// if the call broke off now, and what the server is still owed.
struct TPendingCall {
  TCallRecord record;
  std::string endSpeak;  // "ENDSPEAK ..." of a lift call; empty for other calls

  bool operator==(const TPendingCall&) const = default;
};

// The marker's text: the history line, then the server request owed, if any.
std::string PendingCallText(const TPendingCall& call);
// False for a text that is not a marker's.
bool ParsePendingCallText(std::string_view text, TPendingCall& call);

// The marker file, replaced in one step.
class TPendingCallFile {
 public:
  static constexpr const char* kFileName = "CallPending.log";
  explicit TPendingCallFile(const std::string& workFolder);
  bool Keep(const std::optional<TPendingCall>& call);
  // The marker a run left, removed as it is read.
  std::optional<TPendingCall> Take();

 private:
  std::string path_;
};

}  // namespace vertamo
