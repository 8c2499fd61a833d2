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
#include <string>
#include <string_view>
#include <vector>

namespace vertamo {

struct TCallRecord {
  std::time_t start = 0;
  std::string who;      // the subscriber, or the lift and the unit called
  int seconds = 0;      // talk time; 0 when no conversation took place
  std::string outcome;  // how it ended ("ответ, отбой", "отказ", "занято", ...)

  bool operator==(const TCallRecord&) const = default;
};

// The line of a record, CR LF included.
std::string CallHistoryLine(const TCallRecord& record);
// Reads one line (with or without its line end); false for a damaged one.
bool ParseCallHistoryLine(std::string_view line, TCallRecord& record);

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
