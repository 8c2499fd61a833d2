// The event lines of the phone program and what they do to the call.
//
// A line matches a keyword when it begins with the whole keyword, ignoring
// case, followed by the end of the line or by a character that is neither a
// letter nor a digit: "RINGX" is no RING line, and a stray "E" is no ERROR
// line (a single byte of noise would otherwise end a call on the screen while
// the phone keeps talking). The keywords are tried in table order and the
// first match wins.
//
// The window side of a call (the voice window) implements ICallWindow; the
// main thread applies each line through HandlePhoneEvent. Texts are code page
// 1251.
#pragma once

#include <string>
#include <string_view>

#include "iptel/phone_link.h"

namespace vertamo {

class TPhoneBook;
class TPhoneLog;

enum class TPhoneEventKind { Ring, Stat, Busy, Call, Error, Ok, End, Forwarded, App, Record, NoRecord, Unknown };

// What one event line means.
struct TPhoneEvent {
  TPhoneEventKind kind = TPhoneEventKind::Unknown;
  std::string status;      // for status panel 0 of the voice window
  bool hasInfo = false;    // the information line changes (on the hint background)
  std::string info;
  std::string logText;     // empty: nothing logged
  std::string callerName;  // RING: first word of the caller text (at most 63 bytes)
  std::string callerAddress;  // RING: the text between "[" and "]" (at most 63 bytes)
  std::string caller;         // RING: the whole caller text
  int errorCode = -1;         // ERROR: the reason code; -1 without one
  int silentSeconds = 0;      // ERROR: how long the end of a broken conversation was silent (" SILENT=")
  // REC: the conversation's record, as the phone program names it (a path
  // in the work folder); NOREC: why the conversation is not recorded, when
  // the dispatcher is to be told (empty: recording is off, or was told).
  std::string record;
  bool keepsStatus = false;  // status panel 0 keeps what it shows
};

// The matching rule of event lines.
bool PhoneKeywordMatches(std::string_view line, std::string_view keyword);
// The text of an ERROR reason code 0-15; empty for any other code.
std::string PhoneErrorText(int code);
TPhoneEvent InterpretPhoneEvent(std::string_view line);

// The window side of the call events, in the main thread. The voice window
// implements it; calls that concern its list or status bar do nothing while
// it does not exist.
class ICallWindow {
 public:
  virtual ~ICallWindow() = default;
  // What the phone program said (a ring, a connection, its end).
  virtual void PhoneEvent(const TPhoneEvent& event) { (void)event; }
  // The information line, on the hint background.
  virtual void ShowCallInfo(const std::string& text) = 0;
  // Selects the subscriber at this position of the address book.
  virtual void SelectSubscriber(int position) = 0;
  // Status panel 0 of the voice window.
  virtual void ShowCallStatus(const std::string& text) = 0;
  // The phone program said "OK".
  virtual void PhoneAnswered() = 0;
  // The link to the phone program is gone (the program died or closed it);
  // every line read before the loss has been applied. The telephony thread
  // brings the link back on its own.
  virtual void PhoneLinkLost() {}
  // The link is up for the first time: a program that was already running
  // was taken over (`adopted`, and it may still hold a call), or a fresh one
  // was started.
  virtual void PhoneLinkUp(bool adopted) { (void)adopted; }
  // The link is back: a program that was still running was taken over
  // (`adopted`), or a fresh one was started.
  virtual void PhoneLinkRestored(bool adopted) { (void)adopted; }
};

// Applies one event line.
void ApplyPhoneEvent(std::string_view line, const TPhoneBook& book, TPhoneLog& log, ICallWindow& window);
// Takes the oldest item of `events` and applies it; false when there was none.
bool HandlePhoneEvent(TPhoneEventQueue& events, const TPhoneBook& book, TPhoneLog& log, ICallWindow& window);

}  // namespace vertamo
