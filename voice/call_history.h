// The calls of this run and of earlier ones, for the voice window's history
// tab: a line per ended call in "CallHistory.log" in the work folder, code
// page 1251 like the other logs, only ever appended to (one write per line),
// its owner's only (0600).
//
// A line: the local start time "YYYY-MM-DD hh:mm:ss", the talk time in
// seconds, how the call ended, and who was called or called, separated by
// TAB and ended by CR LF. TAB and line breaks inside the texts become blanks.
// Lines the reader cannot take (a crash cut them short, someone edited the
// file) are passed over.
#pragma once

#include <cstddef>
#include <ctime>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vertamo {

struct TCallRecord {
  std::time_t start = 0;
  std::string who;      // the subscriber, or the lift and the unit called
  int seconds = 0;      // talk time; 0 when no conversation took place
  std::string outcome;  // how it ended: one of the texts of TCallOutcome

  bool operator==(const TCallRecord&) const = default;
};

// The line of a record, CR LF included.
std::string CallHistoryLine(const TCallRecord& record);
// Reads one line (with or without its line end); false for a damaged one.
bool ParseCallHistoryLine(std::string_view line, TCallRecord& record);

// How a call ended, as the history shows it (records hold the text in code
// page 1251).
enum class TCallOutcome {
  Finished,     // "Разговор завершен": a conversation took place
  Refused,      // "Отклонен": the dispatcher turned a ringing call down
  Busy,         // "Занято"
  Failed,       // "Ошибка": the phone program reported an error while dialling
  NotAnswered,  // "Нет ответа": a ring that stopped before it was answered
  Interrupted,  // "Прерван": the dispatcher hung up while dialling
};
// The outcome's text, code page 1251.
std::string CallOutcomeText(TCallOutcome outcome);

// Follows the call states of the voice window (0 idle, 1 talking, 2 dialling,
// 3 ringing) and makes the record of each call that ends: started when the
// dialling began or the ring came, talk time from the connection on.
class TCallTracker {
 public:
  // Why the next change of state happens, when it is not the dispatcher
  // hanging up; forgotten after that change.
  enum class TCause { HangUp, Refuse, Busy, Error };

  void SetCause(TCause cause) { cause_ = cause; }
  // The caller of the ring that comes next (code page 1251).
  void SetCaller(std::string caller) { caller_ = std::move(caller); }
  // The state went from `from` to `to` at `now`; `title` names what an
  // outgoing call called. The record of a call that ended, if one did.
  std::optional<TCallRecord> Changed(int from, int to, std::time_t now, const std::string& title);

 private:
  bool open_ = false;
  bool incoming_ = false;
  std::time_t start_ = 0;
  std::optional<std::time_t> connected_;
  std::string caller_;
  TCause cause_ = TCause::HangUp;
};

class TCallHistory {
 public:
  static constexpr const char* kFileName = "CallHistory.log";

  explicit TCallHistory(std::string workFolder);

  const std::string& Path() const { return path_; }

  // Adds the record's line, making the file when missing; a line a crash
  // left unfinished is ended first. False when the line could not be written.
  bool Append(const TCallRecord& record);
  // At most `max` records, the last written first; only the end of the file
  // is read that holds them.
  std::vector<TCallRecord> Newest(std::size_t max) const;

 private:
  std::string path_;
};

}  // namespace vertamo
