// The calls of this run and of earlier ones, for the voice window's history
// tab: a line per ended call in "CallHistory.log" in the work folder, code
// page 1251 like the other logs, only ever appended to (one write per line),
// its owner's only (0600).
//
// A line: the local start time "YYYY-MM-DD hh:mm:ss" (when the dialling began
// or the ring came), the talk time in seconds, how the call ended, who was
// called or called and, for a call that was answered, the local time of the
// answer, then for a conversation its record (the file's path in the work
// folder, or why there is none), then how to call the party again ("ADR=" and
// a subscriber's address, or "OBJ=" and "PU=" of a lift's unit; the fields
// before it left empty when the call has none); separated by TAB and ended by
// CR LF. TAB and line breaks inside the texts become blanks.
// Lines the reader cannot take (a crash cut them short, someone edited the
// file) are passed over.
#pragma once

#include <cstddef>
#include <ctime>
#include <cstdint>
#include <optional>
#include <utility>
#include <string>
#include <string_view>
#include <vector>

namespace vertamo {

// How the party of a call is called again from the history: a subscriber
// by address, or a lift's unit by the object's number (checked against the
// maps of the day before it is used). Neither: it cannot be.
struct TCallAgain {
  std::string address;  // a subscriber's address (code page 1251)
  int object = -1;      // a lift: its object's number …
  int unit = -1;        // … and the unit called (PU)

  bool Lift() const { return object >= 0; }
  bool Possible() const { return Lift() || !address.empty(); }
  bool operator==(const TCallAgain&) const = default;
};

struct TCallRecord {
  std::time_t start = 0;
  std::string who;      // the subscriber, or the lift and the unit called
  int seconds = 0;      // talk time; 0 when no conversation took place
  std::string outcome;  // how it ended: one of the texts of TCallOutcome
  std::time_t answered = 0;  // when the conversation began; 0: never
  // A conversation's record: the path of its file in the work folder
  // ("Records/…", as the phone program named it), or why there is none
  // (RecordNoteText). Empty for a call never answered.
  std::string record;
  TCallAgain again;

  bool operator==(const TCallRecord&) const = default;
};

// Why a conversation has no record, as its history line says (code page 1251).
enum class TRecordNote {
  NotRecorded,        // "не записан": recording is off, or failed (the dispatcher was told)
  PhoneDoesNotRecord, // the phone program said nothing of recording: not ours
};
std::string RecordNoteText(TRecordNote note);

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
  Interrupted,  // "Прерван": hung up while dialling, or the phone's link was lost
};
// The outcome's text, code page 1251.
std::string CallOutcomeText(TCallOutcome outcome);

// Something that rings again and again unanswered (a flood of RING and
// ERROR from the phone program) cannot flood the history: a record that
// repeats the last one (the same party and outcome, no talk time) is counted
// instead of written, and the count goes out as one more record of that
// party, its outcome followed by "… повторов: N", when a different record
// comes or the history is closed. A file of kMaxBytes is moved aside to
// "CallHistory.log.1" before the next line.
class TCallHistory {
 public:
  static constexpr const char* kFileName = "CallHistory.log";
  static constexpr int64_t kMaxBytes = 1 << 20;

  explicit TCallHistory(std::string workFolder);
  // Writes the count of repeats held back.
  ~TCallHistory();
  TCallHistory(const TCallHistory&) = delete;
  TCallHistory& operator=(const TCallHistory&) = delete;

  const std::string& Path() const { return path_; }

  // Adds the record's line, making the file when missing; a line a crash
  // left unfinished is ended first. False when the line could not be written
  // (a repeat that is only counted is not a failure).
  bool Append(const TCallRecord& record);
  // False since a line could not be written (a folder in place of the file,
  // a work folder that cannot be written), until one is again.
  bool Recording() const { return recording_; }
  // True once each time recording stops working: the dispatcher is told
  // then, and not again for every call after.
  bool TakeNotRecordingNotice() { return std::exchange(notice_, false); }
  // What the dispatcher is told (code page 1251).
  static std::string NotRecordingText();
  // At most `max` records, the last written first; only the end of the file
  // is read that holds them.
  std::vector<TCallRecord> Newest(std::size_t max) const;

 private:
  bool Write(const TCallRecord& record);

  std::string path_;
  std::optional<TCallRecord> last_;  // the last record written
  long repeats_ = 0;                 // of last_, counted, not yet written
  bool recording_ = true;
  bool notice_ = false;
};

}  // namespace vertamo
