// How a call that baresip closed is told to the workstation: one event line,
// "BUSY", "END" or "ERROR n" with the code whose text says what happened.
// The one table of outcomes lives in call_outcome.cpp; the README repeats it.
#pragma once

#include <string>
#include <string_view>

namespace vertamo::phone {

// A conversation without media for this long is over: the far side vanished.
constexpr int kMediaTimeoutSeconds = 10;

// The reason codes of "ERROR n" this phone gives.
enum TErrorCode : int {
  kWrongAddress = 0,    // "Неверно указан адресат !"
  kRemoteHungUp = 1,    // "Удаленный абонент повесил трубку..."
  kRemoteCancelled = 2, // "Удаленный абонент прервал звонок..."
  kRemoteDeclined = 3,  // "Удаленный абонент не принял звонок..."
  kCongested = 4,       // "Соединение перегружено !"
  kNoAnswer = 5,        // "Удаленный абонент не ответил на звонок..."
  kLinkFailed = 6,      // "Сбой соединения !"
  kNoCodec = 7,         // "Не найден общий кодек !"
  kWeRefused = 9,       // "Входящий звонок отвергнут !"
  kUnreachable = 12,    // "Удаленный абонент недостижим !"
  kCallFailed = 15,     // "Ошибка звонка !"
};

// What the phone knows of the call besides baresip's reason.
struct TCallHistory {
  bool incoming = false;
  bool established = false;  // it was talking
  bool rang = false;         // the far side said it rings (outgoing)
  bool weHungUp = false;     // "h"
  bool weRefused = false;    // "n"
  bool dialTimedOut = false; // given up after the dial time-out
};

// The event line for a closed call; `reason` is the "param" of CALL_CLOSED
// ("486 Busy Here", "Connection timed out", ...). A conversation that broke
// off for want of media says how long its end was silent: "ERROR 6
// SILENT=10", so that the talk is counted to the last voice heard.
std::string ClosedCallLine(std::string_view reason, const TCallHistory& call);

// "ERROR n".
std::string ErrorLine(int code);

// The event line for a dial that baresip would not even start, `why` as it
// says it: a transport failure ("Cannot assign requested address": no
// network at all) is an unreachable far end; anything else, an address that
// cannot be dialled.
std::string RefusedDialLine(std::string_view why);

}  // namespace vertamo::phone
